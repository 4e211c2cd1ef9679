#include "ports/JackServer.h"

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

bool JackServer::restart() { return server_ && server_->restart(); }

}  // namespace marovane::testing
