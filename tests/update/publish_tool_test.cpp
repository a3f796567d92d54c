// The publishing tool end to end: a description and the development key
// in, a sealed manifest out, which the program's own check then fetches
// over HTTP from a loopback server, verifies and selects from.

#include "support/child_process.h"
#include "support/dev_update_key.h"
#include "support/fixtures.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "update/http_client.h"
#include "update/update_manifest.h"
#include "update/update_selector.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

TEST(PublishTool, SignsAManifestTheCheckAccepts)
{
    testing::TempDir dir;
    testing::writeFile(dir / "description.json", R"({"name":"ZELMAR DMM-5174K","latest":"1.4.0","versions":[
        {"version":"1.4.0","channel":"stable","release_date":"2025-03-14","notes":{"en-US":"Faster saves."},
         "url":"https://example.invalid/ZELMAR_DMM5174K_Setup_1.4.0.exe","size":123456,
         "sha256":"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"},
        {"version":"1.5.0-beta.1","channel":"beta","release_date":"2025-04-01",
         "url":"https://example.invalid/b.exe","size":1,"sha256":"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"}]})");
    const auto output = dir / "info.json";
    testing::ChildProcess tool({ ZELMAR_PUBLISH_PATH, (dir / "description.json").string(),
        testing::fixturePath("update-dev-key.private.hex").string(), "UPD-1", output.string() });
    ASSERT_EQ(tool.wait(), 0);

    testing::HttpTestServer server;
    const std::string document = testing::readFile(output);
    server.route("/swupdata/dmm5174k/info.json", [&](auto& c) { c.respond(200, document); });
    PlatformHTTPClient client("ZELMAR-DMM5174K/1.0.0");
    const auto body = client.get(server.url("/swupdata/dmm5174k/info.json"), 10, UpdateManifestCodec::maximumDocument);
    ASSERT_TRUE(body);
    const auto manifest = UpdateManifestCodec::decode(
        std::string(body->begin(), body->end()), testing::developmentUpdateService(), "ZELMAR DMM-5174K");
    ASSERT_TRUE(manifest);
    const auto decision = UpdateSelector::select(*manifest, *SemanticVersion::parse("1.0.0"), std::nullopt);
    ASSERT_EQ(decision.kind, UpdateDecision::Kind::available);
    EXPECT_EQ(decision.release->version.text(), "1.4.0");
    EXPECT_EQ(decision.release->notes.at("en-US"), "Faster saves.");

    // A description whose latest version is not listed is refused.
    testing::writeFile(dir / "bad.json", R"({"name":"ZELMAR DMM-5174K","latest":"2.0.0","versions":[]})");
    testing::ChildProcess refused({ ZELMAR_PUBLISH_PATH, (dir / "bad.json").string(),
        testing::fixturePath("update-dev-key.private.hex").string(), "UPD-1", (dir / "bad-info.json").string() });
    EXPECT_EQ(refused.wait(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad-info.json"));
}

} // namespace
} // namespace zelmar
