// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/JackServer.h"

#include "harness/JackdProcess.h"
#include "support/PipeWireProcess.h"

#include <link.h>

#include <cstdio>
#include <string_view>

namespace marovane::testing {

// Told by where libjack was loaded from: PipeWire's lives in a folder of
// its own, which `pw-jack` puts first in the library path.
bool JackServer::pipeWire() {
    const auto isPipeWiresJack = [](dl_phdr_info* library, std::size_t, void*) {
        const std::string_view path = library->dlpi_name ? library->dlpi_name : "";
        return path.find("/libjack.so") != std::string_view::npos && path.find("pipewire") != std::string_view::npos
                   ? 1
                   : 0;
    };
    return dl_iterate_phdr(isPipeWiresJack, nullptr) != 0;
}

void JackServer::SetUp() {
    if (pipeWire()) {
        server_ = std::make_unique<PipeWireProcess>();
    } else {
        server_ = std::make_unique<harness::JackdProcess>("marovane-test-");
    }
    unavailable_ = server_->failure();
}

void JackServer::TearDown() {
    if (server_ && !server_->stop()) {
        std::fprintf(stderr, "The JACK server did not stop cleanly; see %s\n", server_->log().c_str());
    }
    server_.reset();
}

void JackServer::kill() {
    if (server_) server_->kill();
}

void JackServer::suspend() {
    if (server_) server_->suspend();
}

void JackServer::resume() {
    if (server_) server_->resume();
}

bool JackServer::restart() { return server_ && server_->restart(); }

}  // namespace marovane::testing
