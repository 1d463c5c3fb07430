#include "services/file/Schemes.hpp"

#include "support/LogCapture.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {
namespace fs = std::filesystem;

const char* const ValidScheme = R"({"version":"1.2.3","header":"launcher","files":[)"
                                R"({"file":"Hexora","directory":"Hexora.app/Contents/MacOS","hash":"A9993E364706816ABA3E25717850C26C9CD0D89D"},)"
                                R"({"file":"Info.plist","directory":"Hexora.app/Contents","hash":"DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"}]})";

SchemeFormat validSchemeRecord() {
    return {"1.2.3",
            "launcher",
            {{"Hexora", "Hexora.app/Contents/MacOS", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
             {"Info.plist", "Hexora.app/Contents", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"}}};
}

TEST(SchemesTest, LoadsValidFilesAndIgnoresExtraKeys) {
    const struct {
        const char* label;
        std::string content;
        SchemeFormat expected;
    } cases[] = {
        {"plain", ValidScheme, validSchemeRecord()},
        {"extra keys at both levels",
         R"({"size":10,"version":"2","header":"","files":[{"file":"a","directory":"d","hash":"H","mode":"0755"}],"more":[1]})",
         {"2", "", {{"a", "d", "H"}}}},
        {"empty files list", R"({"version":"1.0.0","header":"h","files":[]})", {"1.0.0", "h", {}}},
        // Extra members of every kind are passed over whole, also ones that
        // hold members named like the scheme's own.
        {"nested extra members",
         R"({"x":{"version":5,"files":[1,{"a":[]}]},"version":"2","header":"h","y":[[{"file":3}],null,true,1.5],)"
         R"("files":[{"file":"a","directory":"d","hash":"H","z":{"hash":1,"q":[{}]}}]})",
         {"2", "h", {{"a", "d", "H"}}}},
        // Of a member given twice the last counts, as in a JSON document.
        {"repeated members, the last good",
         R"({"version":1,"version":"2","header":"h","files":[5],"files":[{"file":"a","directory":"d","hash":7,"hash":"H"}]})",
         {"2", "h", {{"a", "d", "H"}}}},
        {"escaped and non-ASCII texts", R"({"version":"1","header":"\u00e9\n","files":[{"file":"\u00e4 b","directory":"d\/e","hash":"H"}]})",
         {"1", "\xc3\xa9\n", {{"\xc3\xa4 b", "d/e", "H"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        test::TempDir dir;
        Schemes schemes(dir.write("gameScheme.json", c.content));
        EXPECT_EQ(schemes.load().scheme, std::optional<SchemeFormat>(c.expected));
    }
}

// A non-empty file that does not decode stays on disk; only the scheme is absent.
TEST(SchemesTest, UndecodableFilesGiveNoSchemeAndStay) {
    const struct {
        const char* label;
        const char* content;
    } cases[] = {
        {"entry without hash", R"({"version":"1","header":"h","files":[{"file":"a","directory":"d"}]})"},
        {"hash as a number", R"({"version":"1","header":"h","files":[{"file":"a","directory":"d","hash":5}]})"},
        {"version as a number", R"({"version":1,"header":"h","files":[]})"},
        {"missing header", R"({"version":"1","files":[]})"},
        {"missing files", R"({"version":"1","header":"h"})"},
        {"files as an object", R"({"version":"1","header":"h","files":{}})"},
        {"entry not an object", R"({"version":"1","header":"h","files":["a"]})"},
        {"not JSON", "\x1f\x8b\x08 still gzip"},
        {"truncated", R"({"version":"1","header":"h","files":[{"file":"a",)"},
        {"root is a list", R"([{"version":"1","header":"h","files":[]}])"},
        {"root is a text", R"("version")"},
        {"text after the object", R"({"version":"1","header":"h","files":[]} x)"},
        {"second object after the first", R"({"version":"1","header":"h","files":[]}{})"},
        {"repeated members, the last bad",
         R"({"version":"1","header":"h","files":[],"files":[{"file":"a","directory":"d","hash":"H","file":null}]})"},
        {"repeated version, the last a number", R"({"version":"1","version":2,"header":"h","files":[]})"},
        {"entry after a bad one", R"({"version":"1","header":"h","files":[1,{"file":"a","directory":"d","hash":"H"}]})"},
        {"invalid UTF-8 in a text", "{\"version\":\"\xff\",\"header\":\"h\",\"files\":[]}"},
        {"files as null", R"({"version":"1","header":"h","files":null})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        test::TempDir dir;
        const fs::path file = dir.write("launcherScheme.json", c.content);
        Schemes schemes(file);
        schemes.scheme = validSchemeRecord();  // a failed decode also drops an earlier scheme
        EXPECT_EQ(schemes.load().scheme, std::nullopt);
        EXPECT_EQ(test::readFile(file), c.content);
    }
}

TEST(SchemesTest, MissingEmptyOrFolderPathsAreClearedAndParentMade) {
    test::TempDir dir;
    Schemes missing(dir / "storage/deep/gameScheme.json");
    EXPECT_EQ(missing.load().scheme, std::nullopt);
    EXPECT_TRUE(fs::is_directory(dir / "storage/deep"));
    EXPECT_FALSE(fs::exists(dir / "storage/deep/gameScheme.json"));

    const fs::path empty = dir.write("storage/empty.json", "");
    EXPECT_EQ(Schemes(empty).load().scheme, std::nullopt);
    EXPECT_FALSE(fs::exists(empty));

    dir.write("storage/folder.json/inside/file", "x");
    EXPECT_EQ(Schemes(dir / "storage/folder.json").load().scheme, std::nullopt);
    EXPECT_FALSE(fs::exists(dir / "storage/folder.json"));

    // Clearing a path keeps a scheme loaded before.
    Schemes kept(dir / "storage/kept.json");
    kept.scheme = validSchemeRecord();
    EXPECT_EQ(kept.load().scheme, std::optional<SchemeFormat>(validSchemeRecord()));
}

TEST(SchemesTest, FailedClearingIsLogged) {
    test::TempDir dir;
    dir.write("storage", "a file where the folder should be");
    test::LogCapture log;
    EXPECT_EQ(Schemes(dir / "storage/gameScheme.json").load().scheme, std::nullopt);
    EXPECT_TRUE(log.contains("Failed to delete invalid setting file or create directory: "));
}

// A file padded with spaces to the cap still loads; one byte more is refused
// before it is decoded, and the file stays on disk.
TEST(SchemesTest, SchemeFileBeyondTheSizeCapIsRefusedAndKept) {
    const std::string content = ValidScheme;
    const struct {
        const char* label;
        std::uintmax_t size;
        bool loads;
    } cases[] = {{"at the cap", Schemes::MaxFileBytes, true}, {"one byte beyond", Schemes::MaxFileBytes + 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        test::TempDir dir;
        const fs::path file = dir.write("gameScheme.json", content + std::string(c.size - content.size(), ' '));
        test::LogCapture log;
        Schemes schemes(file);
        EXPECT_EQ(schemes.load().scheme.has_value(), c.loads);
        EXPECT_EQ(log.contains("cannot load scheme : scheme file is larger than 33554432 bytes"), !c.loads);
        EXPECT_EQ(fs::file_size(file), c.size);
    }
}

TEST(SchemesTest, EncodesInDocumentedOrderAndDecodesBack) {
    const SchemeFormat record = validSchemeRecord();
    EXPECT_EQ(record.encode(), ValidScheme);
    EXPECT_EQ(SchemeFormat::decode(record.encode()), std::optional<SchemeFormat>(record));
}

}  // namespace
}  // namespace hexora
