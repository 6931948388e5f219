// A game folder laid out as operators lay one out: the plug-in found through the host's list, and
// the configuration files that server.cfg executes setting the plug-in's variables.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "simhost/console_commands.h"
#include "simhost/game_folder.h"
#include "simhost/game_server.h"
#include "simhost/temp_folder.h"

namespace {

namespace fs = std::filesystem;

void write(const std::string &folder, const std::string &name, const std::string &text) {
    const fs::path path = fs::path(folder) / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string run(simhost::GameServer &server, const std::string &line) {
    std::FILE *out = std::tmpfile();
    simhost::run_console_line(server, line, out);
    std::rewind(out);
    std::string reply;
    for (int c; (c = std::fgetc(out)) != EOF;)
        reply += static_cast<char>(c);
    std::fclose(out);
    return reply;
}

std::string text_of(simhost::GameServer &server, const std::string &name) {
    const cvar_t *variable = server.engine().cvars().find(name);
    return variable && variable->string ? variable->string : "(none)";
}

simhost::ServerOptions options_for(const std::string &folder) {
    simhost::ServerOptions options;
    options.engine.game_folder = folder;
    options.map = "crossfire";
    return options;
}

}  // namespace

TEST(GameFolder, ThePluginListNamesThisSystemsLibraryByAPathRelativeToTheFolder) {
    simhost::TempFolder folder("orlex_game_folder-");
    std::string path, error;
    EXPECT_FALSE(simhost::plugin_from_list(folder.path(), &path, &error));
    EXPECT_NE(error.find("addons/metamod/plugins.ini"), std::string::npos) << error;

    write(folder.path(), "addons/metamod/plugins.ini", "; comment\r\n// linux addons/old/old.so\r\n");
    EXPECT_FALSE(simhost::plugin_from_list(folder.path(), &path, &error));
    EXPECT_NE(error.find("names no plug-in for"), std::string::npos) << error;

#if defined(_WIN32)
    const std::string wanted = "addons/orlex_mm/dlls/orlex_mm.dll";
#else
    const std::string wanted = "addons/orlex_mm/dlls/orlex_mm_i386.so";
#endif
    write(folder.path(), "addons/metamod/plugins.ini",
          "; the host's list\r\n"
          "win32 addons/orlex_mm/dlls/orlex_mm.dll\r\n"
          "  linux addons/orlex_mm/dlls/orlex_mm_i386.so  ; comment\r\n"
          "linux addons/other/other.so\r\n");
    ASSERT_TRUE(simhost::plugin_from_list(folder.path(), &path, &error)) << error;
    EXPECT_EQ(path, folder.path() + "/" + wanted);
}

// The built plug-in, loaded from its place in the folder, takes the values of the files server.cfg
// executes: quoted, empty, with comments and Windows line ends.
TEST(GameFolder, ServerCfgExecutesThePluginsFileAndItsValuesReachThePlugin) {
    simhost::TempFolder folder("orlex_game_folder-");
#if defined(_WIN32)
    const std::string system = "win32", relative = "addons/orlex_mm/dlls/orlex_mm.dll";
#else
    const std::string system = "linux", relative = "addons/orlex_mm/dlls/orlex_mm_i386.so";
#endif
    const fs::path library = fs::path(folder.path()) / relative;
    fs::create_directories(library.parent_path());
    fs::copy_file(ORLEX_PLUGIN_PATH, library);
    write(folder.path(), "addons/metamod/plugins.ini", system + " " + relative + "\n");
    write(folder.path(), "server.cfg",
          "hostname \"a server\"\n// the plug-in's settings\nexec addons/orlex_mm/orlex_mm.cfg\norlex_mm_rate 6 // "
          "after it\n");
    write(folder.path(), "addons/orlex_mm/orlex_mm.cfg",
          "// defaults\r\norlex_mm_allow \"\"\r\norlex_mm_port \"27\"\r\norlex_mm_hide_password \"1\" // on\r\n");

    simhost::ServerOptions options = options_for(folder.path());
    options.settings.push_back({"orlex_mm_allow", "10.0.0.0/8"});  // as a command line sets it first
    simhost::GameServer server(options);
    std::string path, error;
    ASSERT_TRUE(simhost::plugin_from_list(folder.path(), &path, &error)) << error;
    ASSERT_TRUE(server.start(path, &error)) << error;
    ASSERT_TRUE(server.engine().cvars().is_registered("orlex_mm_allow"));
    EXPECT_EQ(text_of(server, "orlex_mm_allow"), "10.0.0.0/8");

    EXPECT_EQ(run(server, "exec server.cfg"), "");
    EXPECT_EQ(text_of(server, "orlex_mm_allow"), "");
    EXPECT_EQ(text_of(server, "orlex_mm_port"), "27");
    EXPECT_EQ(text_of(server, "orlex_mm_hide_password"), "1");
    EXPECT_EQ(text_of(server, "orlex_mm_rate"), "6");
    EXPECT_EQ(run(server, "orlex_mm_port"), "\"orlex_mm_port\" is \"27\"\n");
    server.stop();
}

TEST(GameFolder, ExecReadsNothingOutsideTheFolderAndStopsFilesThatExecThemselves) {
    simhost::TempFolder outer("orlex_game_folder-");
    const std::string folder = outer.path() + "/cstrike";
    write(outer.path(), "secret.cfg", "orlex_mm_rate 99\n");
    write(folder, "loop.cfg", "orlex_mm_rate 1\nexec loop.cfg\n");
    simhost::ServerOptions options = options_for(folder);
    options.settings.push_back({"orlex_mm_rate", "0"});
    simhost::GameServer server(options);

    EXPECT_EQ(run(server, "exec ../secret.cfg"), "couldn't exec ../secret.cfg\n");
    EXPECT_EQ(run(server, "exec " + outer.path() + "/secret.cfg"), "couldn't exec " + outer.path() + "/secret.cfg\n");
    EXPECT_EQ(run(server, "exec ..\\secret.cfg"), "couldn't exec ..\\secret.cfg\n");
    EXPECT_EQ(text_of(server, "orlex_mm_rate"), "0");
    EXPECT_EQ(run(server, "exec missing.cfg"), "couldn't exec missing.cfg\n");

    EXPECT_EQ(run(server, "exec \"loop.cfg\""), "couldn't exec loop.cfg\n");  // once, at the deepest
    EXPECT_EQ(text_of(server, "orlex_mm_rate"), "1");
}
