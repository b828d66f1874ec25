// The Debian package as a user installs it, built from this build with
// cpack once for the whole suite: it must depend on every library the
// program opens by name (which dpkg-shlibdeps cannot see), hold the list
// server with its service (installed, not enabled) and the documents Debian
// asks for, and leave lintian, appstreamcli and desktop-file-validate
// nothing to say.
#include "BuildPaths.h"
#include "FormatLibrary.h"
#include "platform/LibraryNames.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// What a shell command prints (standard error too), and its exit status.
struct Output {
    std::string text;
    int status = -1;
};

Output Shell(const std::string &command) {
    Output out;
    std::FILE *pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.text.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// A file under one of this build's folders, by the folder's name.
std::string Built(const char *folder, const char *file) {
    return std::string(quorane::test::BuildPath(folder)) + file;
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The package names of a Depends field: alternatives and versions dropped.
std::set<std::string> PackagesOf(const std::string &depends) {
    std::set<std::string> names;
    std::string name;
    bool inName = true;
    for (const char c : depends + ",") {
        if (c == ',' || c == '|') {
            if (!name.empty())
                names.insert(name);
            name.clear();
            inName = true;
        } else if (c == ' ' || c == '(' || c == ':') {
            inName = inName && name.empty();
        } else if (inName) {
            name += c;
        }
    }
    return names;
}

class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = (std::filesystem::temp_directory_path() /
                   ("quorane-package-" + std::to_string(::getpid())))
                      .string();
        std::filesystem::create_directories(folder_);
        built_ = Shell("cpack -G DEB --config " +
                       Built("QUORANE_BINARY_DIR", "/CPackConfig.cmake") + " -B " + folder_);
        for (const auto &entry : std::filesystem::directory_iterator(folder_))
            if (entry.path().extension() == ".deb")
                deb_ = entry.path().string();
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(folder_); }

    void SetUp() override { ASSERT_FALSE(deb_.empty()) << built_.text; }

    static std::string Field(const std::string &name) {
        std::string value = Shell("dpkg-deb -f " + deb_ + " " + name).text;
        while (!value.empty() && value.back() == '\n')
            value.pop_back();
        return value;
    }
    static std::string FileInPackage(const std::string &path) {
        return Shell("dpkg-deb --fsys-tarfile " + deb_ + " | tar -xOf - ." + path).text;
    }

    static inline std::string folder_, deb_;
    static inline Output built_;
};

} // namespace

TEST_F(Package, DependsOnWhatShipsEveryLibraryTheProgramOpensByName) {
    const std::set<std::string> depends = PackagesOf(Field("Depends"));
    for (const char *soname : quorane::engine::LoadedByName) {
        // The Debian package that ships the library on this machine, which
        // is the one the engine was built against.
        const Output owner = Shell(std::string("dpkg-query -S '*/") + soname + "'");
        ASSERT_EQ(owner.status, 0) << soname << ": " << owner.text;
        const std::string package = owner.text.substr(0, owner.text.find_first_of(":,"));
        EXPECT_TRUE(depends.count(package))
            << soname << " comes with " << package
            << ", which Depends does not name: " << Field("Depends");
    }
    // The engine itself the player opens from its own folder: it comes in the package.
    const std::string engine =
        "./usr/lib/quorane/Plugins/" + LibraryNames::EngineFileName().toStdString();
    EXPECT_NE(Shell("dpkg-deb -c " + deb_).text.find(engine), std::string::npos) << engine;
}

TEST_F(Package, HoldsTheListServerItsServiceAndTheDocuments) {
    const std::string files = Shell("dpkg-deb -c " + deb_).text;
    for (const char *path : {
             "./usr/bin/quorane -> ../lib/quorane/Quorane",
             "./usr/bin/quorane-listserver",
             "./usr/lib/systemd/system/quorane-listserver.service",
             "./etc/default/quorane-listserver",
             "./usr/share/man/man1/quorane.1.gz",
             "./usr/share/man/man1/quorane-listserver.1.gz",
             "./usr/share/doc/quorane/copyright",
             "./usr/share/doc/quorane/changelog.gz",
             "./usr/share/metainfo/org.quorane.Quorane.metainfo.xml",
             "./usr/share/applications/quorane.desktop",
         })
        EXPECT_NE(files.find(path), std::string::npos) << path;
    // The administrator's listen address survives upgrades.
    EXPECT_EQ(Shell("dpkg-deb --ctrl-tarfile " + deb_ + " | tar -xOf - ./conffiles").text,
              "/etc/default/quorane-listserver\n");
    // Installed, not enabled: no script of the package starts or enables it.
    const std::string control = Shell("dpkg-deb -I " + deb_).text;
    for (const char *script : {"postinst", "preinst", "prerm", "postrm"})
        EXPECT_EQ(control.find(script), std::string::npos) << script;
    EXPECT_EQ(files.find("/etc/systemd/"), std::string::npos);

    // The service runs the program and folder the package lays out.
    const std::string unit = FileInPackage("/usr/lib/systemd/system/quorane-listserver.service");
    EXPECT_NE(unit.find("\nExecStart=/usr/bin/quorane-listserver --root "
                        "/var/lib/quorane-listserver --listen ${LISTEN}\n"),
              std::string::npos)
        << unit;
    EXPECT_NE(unit.find("\nStateDirectory=quorane-listserver\n"), std::string::npos);
    EXPECT_NE(unit.find("\nEnvironmentFile=-/etc/default/quorane-listserver\n"), std::string::npos);
    EXPECT_NE(FileInPackage("/etc/default/quorane-listserver").find("\nLISTEN=127.0.0.1:8080\n"),
              std::string::npos);

    // The changelog's newest entry is this version.
    EXPECT_EQ(Lines(Shell("dpkg-deb --fsys-tarfile " + deb_ +
                          " | tar -xOf - ./usr/share/doc/quorane/changelog.gz | gzip -dc")
                        .text)
                  .front()
                  .rfind("quorane (" + Field("Version") + ") ", 0),
              0u);
}

TEST_F(Package, LintianAppStreamAndTheDesktopEntryFindNothingToSay) {
    const Output lintian = Shell("lintian --tag-display-limit 0 " + deb_);
    ASSERT_NE(lintian.status, 127)
        << "lintian is not installed (scripts/setup.sh test installs it)";
    for (const std::string &line : Lines(lintian.text))
        EXPECT_FALSE(line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0) << line;

    const Output appstream =
        Shell("appstreamcli validate --no-net " +
              Built("QUORANE_SOURCE_DIR", "/data/org.quorane.Quorane.metainfo.xml"));
    EXPECT_EQ(appstream.status, 0) << appstream.text;
    for (const std::string &line : Lines(appstream.text))
        EXPECT_FALSE(line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0) << line;

    const Output desktop =
        Shell("desktop-file-validate " + Built("QUORANE_SOURCE_DIR", "/data/quorane.desktop"));
    EXPECT_EQ(desktop.status, 0);
    EXPECT_EQ(desktop.text, "");
}
