// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReportFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace marovane::bench {

std::string blockBegin(const std::string& name) { return "<!-- " + name + ":begin"; }

std::string blockEnd(const std::string& name) { return "<!-- " + name + ":end -->"; }

void writeBlock(const std::string& path, const std::string& name, const std::string& block) {
    std::string document;
    if (std::ifstream in(path); in) document.assign(std::istreambuf_iterator<char>(in), {});
    const auto begin = document.find(blockBegin(name));
    const auto end = document.find(blockEnd(name));
    if (begin != std::string::npos && end != std::string::npos && begin < end) {
        document.replace(begin, end + blockEnd(name).size() + 1 - begin, block);
    } else {
        if (document.empty()) document = "# Performance\n";
        document += "\n" + block;
    }
    if (const auto folder = std::filesystem::path(path).parent_path(); !folder.empty()) {
        std::filesystem::create_directories(folder);
    }
    std::ofstream out(path);
    out << document;
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace marovane::bench
