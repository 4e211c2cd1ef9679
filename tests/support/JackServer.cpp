// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/JackServer.h"

#include "harness/JackdProcess.h"
#include "harness/PipeWireProcess.h"

#include <cstdio>

namespace marovane::testing {

bool JackServer::pipeWire() { return harness::usesPipeWiresJack(); }

bool JackServer::losesFloods() {
#if defined(__SANITIZE_THREAD__)
    return pipeWire();
#else
    return false;
#endif
}

void JackServer::SetUp() {
    if (pipeWire()) {
        server_ = std::make_unique<harness::PipeWireProcess>();
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
