#include "LibraryRoutes.h"

#include "ports/LibraryMessages.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>
#include <string_view>

namespace marovane {

namespace {

// Worded as libasound's own handler words it.
void reportAlsa(const char* file, int line, const char* function, int err, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::string message = std::string("ALSA lib ") + file + ":" + std::to_string(line) + ":(" + function + ") " + text;
    if (err != 0) message += std::string(": ") + snd_strerror(err);
    reportLibraryMessage(message.c_str());
}

// RtMidi prints to std::cerr where its error callback cannot be set yet (a
// constructor that fails) and from its ALSA input thread; nothing else in
// the program writes there. It writes each report as one piece between
// blank lines, so pieces are passed on as they come, without the blanks;
// keeping nothing between writes lets any thread write.
class RtMidiPrints : public std::streambuf {
protected:
    std::streamsize xsputn(const char* text, std::streamsize size) override {
        pass(std::string_view(text, static_cast<std::size_t>(size)));
        return size;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char character = traits_type::to_char_type(c);
            pass(std::string_view(&character, 1));
        }
        return traits_type::not_eof(c);
    }

private:
    static void pass(std::string_view piece) {
        constexpr std::string_view blank = " \t\r\n";
        const auto first = piece.find_first_not_of(blank);
        if (first == std::string_view::npos) return;
        piece = piece.substr(first, piece.find_last_not_of(blank) - first + 1);
        reportLibraryMessage(std::string(piece).c_str());
    }
};

}  // namespace

void routeLibraryMessages() {
    static std::once_flag routed;
    std::call_once(routed, [] {
        snd_lib_error_set_handler(&reportAlsa);
        jack_set_error_function(&reportLibraryMessage);
        jack_set_info_function(&reportLibraryMessage);
        // Never deleted: std::cerr is still flushed after static objects go.
        std::cerr.rdbuf(new RtMidiPrints);
    });
}

}  // namespace marovane
