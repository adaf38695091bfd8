// What both HTTP clients share: the refusal of a redirect from https down to http, which the
// Windows client must recognise in the redirect it is handed back.
#include <gtest/gtest.h>

#include "platform/http.h"

namespace zentro::platform {
namespace {

TEST(HttpSharedTest, OnlyARedirectFromHttpsToHttpIsInsecure) {
  HttpRequest secure;
  secure.url = "HTTPS://host/a.bin";
  HttpRequest plain;
  plain.url = "http://host/a.bin";
  struct Row {
    const HttpRequest& request;
    int status;
    const char* location;
    bool insecure;
  } rows[] = {
      {secure, 302, "http://other/a.bin", true},  {secure, 301, " HTTP://other/", true},
      {secure, 307, "https://other/a.bin", false}, {secure, 302, "/relative", false},
      {secure, 200, "http://other/", false},       {secure, 404, "http://other/", false},
      {plain, 302, "http://other/a.bin", false},   {secure, 302, "", false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(http_detail::isInsecureRedirect(r.request, r.status, r.location), r.insecure)
        << r.request.url << " " << r.status << " " << r.location;
  }
}

}  // namespace
}  // namespace zentro::platform
