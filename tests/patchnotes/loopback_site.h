#pragma once

#include "common/site.h"
#include "tests/support/http_test_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A test whose web site is the loopback test server, reached over plain HTTP.
class LoopbackSiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(ParseSiteAddress(server.BaseUrl(), site));
    }

    // Request targets the server saw, in order.
    std::vector<std::string> Targets() const { return server.RequestedTargets(); }

    TestHttpServer server;
    SiteAddress site;
};
