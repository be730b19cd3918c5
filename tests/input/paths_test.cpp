// Where the program finds its help pages, and the file:// URLs it hands to a browser.
#include "input/AppPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path Scratch(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("trazon_paths_" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "<html></html>\n";
}

} // namespace

TEST(HelpPages, BesideTheProgramFirstThenTheInstalledShareFolder) {
    fs::path root = Scratch("prefix");
    std::string bin = (root / "bin").string() + "/";
    fs::create_directories(bin);
    // nothing anywhere: the place beside the program, so that a message can name it
    EXPECT_EQ(HelpDir(bin), bin + "help/");
    EXPECT_FALSE(IsInstalledLayout(bin));

    Touch(root / "share/trazon/help/index.html");
    EXPECT_EQ(HelpDir(bin), (root / "share/trazon/help").string() + "/");
    EXPECT_EQ(HelpPagePath(bin, "setdlg.html"), (root / "share/trazon/help/setdlg.html").string());
    EXPECT_TRUE(IsInstalledLayout(bin));
    EXPECT_TRUE(IsInstalledLayout(root.string() + "/bin")); // without the trailing slash

    // a help folder beside the program (a build tree) wins over the installed one
    Touch(root / "bin/help/index.html");
    EXPECT_EQ(HelpDir(bin), bin + "help/");

    // a build tree's app/ folder is no installed layout even with a share folder above it
    fs::create_directories(root / "app");
    EXPECT_FALSE(IsInstalledLayout((root / "app").string() + "/"));
    fs::remove_all(root.parent_path());
}

TEST(HelpPages, UrlsArePercentEncoded) {
    EXPECT_EQ(FileUrl("/opt/trazon/help/index.html"), "file:///opt/trazon/help/index.html");
    EXPECT_EQ(FileUrl("/home/a b/run#2/100%/x?.html"),
              "file:///home/a%20b/run%232/100%25/x%3F.html");
    // bytes of UTF-8 names are encoded one by one
    EXPECT_EQ(FileUrl("/d/\xc3\xa9.html"), "file:///d/%C3%A9.html");
    EXPECT_EQ(HelpPageUrl("/no/such/dir/", "index.html"), "file:///no/such/dir/help/index.html");
}
