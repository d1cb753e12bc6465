// test_settings.cpp -- the settings file: each key, lines it refuses, the command line winning, the one table
#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "main.h"
#include "tile.h"

namespace {

// The settings as they are at start-up.
void defaults(void)
{
    main_looking = 0, main_view = MAIN_VIEW_DEFAULT, main_fov = MAIN_FOV_FIXED, main_sensitivity = 1.0f;
    main_invert = main_fullscreen = 0, tile_lookFog = true;
}

std::vector<float> settings(void)
{
    return {(float)main_looking, (float)main_view, main_fov, main_sensitivity, (float)main_invert,
            (float)main_fullscreen, (float)tile_lookFog};
}

// Reads text as the settings file of the command line words; what it says on standard error.
std::string run(const std::string &text, std::vector<const char *> words)
{
    defaults();
    std::string dir = test_tempDir(), path = dir + "/tavo/tavo.conf";
    test_makeDirs(dir + "/tavo");
    test_writeText(path, text);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    words.insert(words.begin(), "tavo");
    words.push_back("w.def");
    MainCommand command;
    EXPECT_EQ(main_parse((int)words.size(), const_cast<char **>(words.data()), &command), "");
    testing::internal::CaptureStderr();
    main_settings(command);
    std::string err = testing::internal::GetCapturedStderr();
    std::filesystem::remove_all(dir);
    return err;
}

const std::string every = "look = yes\nview = 100\n  fov=90 # wide\nsensitivity = 2.5\ninvert = yes\n"
                          "fullscreen = yes\nfog = no\n";

TEST(Settings, EachKeyChangesWhatItNamesAndTheCommandLineWins)
{
    EXPECT_EQ(run(every, {}), "");
    EXPECT_EQ(settings(), (std::vector<float>{1, 100, 90, 2.5f, 1, 1, 0}));
    EXPECT_EQ(run(every, {"--view", "20"}), "");
    EXPECT_EQ(main_view, 20);
    EXPECT_EQ(run("look = no\n", {"--look"}), "");
    EXPECT_EQ(main_looking, 1);
    for (const char *off : {"--no-config", "--shot"}) {  // --shot reads a file only when named
        EXPECT_EQ(run(every, {off, strcmp(off, "--shot") ? "--quiet" : "out.png"}), "") << off;
        EXPECT_EQ(settings(), (std::vector<float>{0, 64, 45, 1, 0, 0, 1})) << off;
    }
    std::string named = test_tempDir() + "/mine.conf";
    test_writeText(named, "fov = 30\n");
    EXPECT_EQ(run(every, {"--config", named.c_str()}), "");
    EXPECT_EQ(main_fov, 30.0f);
    EXPECT_EQ(run("", {"--config", "/no/such.conf"}), "test_settings: /no/such.conf: No such file or "
                                                         "directory; the settings are the defaults\n");
    std::filesystem::remove_all(named.substr(0, named.rfind('/')));
    defaults();
}

TEST(Settings, ABadLineIsNamedWithItsNumberAndTheOthersApply)
{
    std::string err = run("# mine\nfov = 200\nbogus = 1\nlook yes\nview = 32\ninvert = maybe\n"
                          "sensitivity = 0\n\nfog = no\r\n", {});
    std::istringstream lines(err);
    std::vector<std::string> got;
    for (std::string l; std::getline(lines, l);)
        got.push_back(l.substr(l.find("tavo.conf:") + 10));
    EXPECT_EQ(got, (std::vector<std::string>{"2: '200' is not a number from 20 to 120", "3: unknown setting 'bogus'",
                                             "4: not 'key = value'", "6: 'maybe' is not yes or no",
                                             "7: '0' is not a number from 0.1 to 10"}));
    EXPECT_EQ(settings(), (std::vector<float>{0, 32, 45, 1, 0, 0, 0}));
    defaults();
}

// --help, the manual page made from it and the example file installed show one table.
TEST(Settings, TheHelpAndTheExampleFileShowEveryKey)
{
    std::ifstream in(std::string(TAVO_SOURCE_DIR) + "/data/tavo.conf");
    std::stringstream example;
    example << in.rdbuf();
    EXPECT_EQ(example.str(), main_settingsExample());
    testing::internal::CaptureStdout();
    main_usage(stdout);
    EXPECT_NE(testing::internal::GetCapturedStdout().find(main_settingsHelp()), std::string::npos);
    // Nothing is set by the example as it is; uncommented, every key takes its default.
    std::string text = example.str(), uncommented;
    EXPECT_TRUE(main_settingsParse(std::vector<unsigned char>(text.begin(), text.end())).empty());
    std::istringstream lines(text);
    for (std::string l; std::getline(lines, l);)
        uncommented += (l.size() > 1 && l[0] == '#' && l[1] != ' ' ? l.substr(1) : l) + "\n";
    defaults();
    for (const MainSettingLine &l : main_settingsParse(std::vector<unsigned char>(uncommented.begin(), uncommented.end())))
        EXPECT_EQ(main_settingApply(l.key, l.value), "") << l.key;
    EXPECT_EQ(settings(), (std::vector<float>{0, 64, 45, 1, 0, 0, 1}));
}

}  // namespace
