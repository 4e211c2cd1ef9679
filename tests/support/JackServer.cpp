#include "support/JackServer.h"

#include <cstdio>

namespace marovane::testing {

void JackServer::SetUp() {
    server_ = std::make_unique<harness::JackdProcess>("marovane-test-");
    unavailable_ = server_->failure();
}

void JackServer::TearDown() {
    if (server_ && !server_->stop()) {
        std::fprintf(stderr, "jackd did not stop cleanly; see %s\n", server_->log().c_str());
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
