// What the fleet outputs are told at start and refuse there, before any
// record is sent: the database's write URL, the MQTT topic prefix, tag
// texts the databases would read back differently, and the secret files.

#include "cli/SecretFile.h"
#include "fleet/InfluxUrl.h"
#include "fleet/LineProtocol.h"
#include "fleet/MqttUrl.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

namespace {

using namespace plovex;

TEST(FleetAddresses, WriteUrlsAreTakenAsTheDatabasesDocumentThem)
{
    // The URL; why it is refused (nullptr: taken); the API and the host taken.
    const std::tuple<std::string, const char*, fleet::InfluxApi, std::string> rows[] = {
        {"http://127.0.0.1:8086/write?db=plv&rp=autogen", nullptr, fleet::InfluxApi::V1, "127.0.0.1:8086"},
        {"https://tsdb.example/api/v2/write?org=site&bucket=plv&precision=ns", nullptr, fleet::InfluxApi::V2,
         "tsdb.example:443"},
        {"http://[::1]:8428/write", nullptr, fleet::InfluxApi::V1, "[::1]:8428"},
        {"http://vminsert:8480/insert/0/influx/write", nullptr, fleet::InfluxApi::V1, "vminsert:8480"},
        {"http://h:8086/api/v2/write?org=site", "needs org= (or orgID=) and bucket=", {}, {}},
        {"http://h:8086/query?db=plv", "its path does not end in /write", {}, {}},
        {"ftp://h/write", "it is not http:// or https://", {}, {}},
        {"http://h:8086/write?db=plv&precision=s", "leave precision out or make it ns", {}, {}},
        {"http://admin:s3cret@h:8086/write?db=plv", "may not hold a user or a password", {}, {}},
        {"http://h:8086/write?db=plv&u=admin&p=s3cret", "may not hold credentials (u=)", {}, {}},
        {"not a url s3cret", "the --influx URL is not a database's write URL", {}, {}},
    };
    for (const auto& [text, refusal, api, hostPort] : rows) {
        SCOPED_TRACE(text);
        std::string error;
        const auto url = fleet::parseInfluxUrl(text, &error);
        if (!refusal) {
            ASSERT_TRUE(url) << error;
            EXPECT_EQ(url->api, api);
            EXPECT_EQ(url->hostPort, hostPort);
            continue;
        }
        EXPECT_FALSE(url);
        EXPECT_NE(error.find(refusal), std::string::npos) << error;
        EXPECT_EQ(error.find("s3cret"), std::string::npos) << "a secret repeated: " << error;
    }
}

TEST(FleetAddresses, TopicPrefixesNoBrokerTakesAreRefused)
{
    const std::pair<std::string, const char*> rows[] = { // the URL, and why it is refused (nullptr: taken)
        {"mqtt://h/site/bridge/ttyUSB0", nullptr},
        {"mqtt://h/br\xC3\xBC" "cke", nullptr},
        {"mqtt://h/site/+/x", "+ or #"},
        {"mqtt://h/$SYS/plovex", "beginning with $"},
        {"mqtt://h/site//x", "empty level"},
        {"mqtt://h//site", "empty level"},
        {"mqtt://h/site/", "empty level"},
        {"mqtt://h/bad\xC3(", "not valid UTF-8 (byte 4)"},
        {"mqtt://h/tab\there", "control character (byte 4)"},
        {"mqtt://h/" + std::string(65535 - 12, 'a'), nullptr},
        {"mqtt://h/" + std::string(65535 - 11, 'a'), "longer than MQTT's topics allow"},
    };
    for (const auto& [text, refusal] : rows) {
        SCOPED_TRACE(text.substr(0, 40));
        std::string error;
        const auto url = fleet::parseMqttUrl(text, &error);
        EXPECT_EQ(!url, refusal != nullptr) << error;
        if (refusal) {
            EXPECT_NE(error.find(refusal), std::string::npos) << error;
        }
        EXPECT_LT(error.size(), 300u) << "the URL is not repeated when it cannot be shown";
    }
}

TEST(FleetAddresses, TagTextsWithAnAmbiguousBackslashAreNamed)
{
    const std::pair<const char*, const char*> rows[] = {
        {"north bridge, \"east\"=1", ""}, {"C:\\data\\x", ""}, {"back\\", "a backslash at the end"},
        {"a\\,b", "a backslash before a comma"}, {"a\\=b", "a backslash before an equals sign"},
        {"a\\ b", "a backslash before a blank"}, {"a\\\\b", "a backslash before a backslash"},
        {"a\\\nb", "a backslash before a blank"}, // the line break becomes a blank
    };
    for (const auto& [text, problem] : rows)
        EXPECT_EQ(fleet::tagProblem(text), problem) << text;
}

TEST(FleetAddresses, SecretsComeFromRegularFilesAndAreNeverRepeated)
{
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "token", "s3cret-token\r\nsecond line\n");
    testsupport::writeFile(dir / "empty", "\n");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const std::pair<std::string, const char*> rows[] = {
        {"token", ""}, {"fifo", "is a FIFO, not a regular file"}, {".", "is a folder, not a regular file"},
        {"empty", "has nothing on its first line"}, {"missing", "No such file or directory"}};
    for (const auto& [name, refusal] : rows) {
        std::string secret, error;
        const bool read = cli::readSecretFile((dir / name).string(), "the token file", secret, &error);
        EXPECT_EQ(read, !*refusal) << name;
        EXPECT_EQ(secret, read ? "s3cret-token" : secret) << name;
        EXPECT_NE(error.find(refusal), std::string::npos) << error;
        EXPECT_EQ(error.find("s3cret"), std::string::npos) << error;
    }
}

} // namespace
