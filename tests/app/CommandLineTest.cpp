#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include "app/OptionTable.h"

namespace {

InstallerSettings Parse(std::vector<std::wstring> args, InstallerSettings base = DefaultInstallerSettings()) {
    args.insert(args.begin(), L"/opt/brimvale-installer");
    ParseCommandLine(base, args);
    return base;
}

TEST(OptionTable, SplitsAtTheFirstEqualsAndKeepsTheFirstOccurrence) {
    const OptionTable t({L"prog", L"-downloadurl=http://h/a?x=1&y=2", L"-k=1", L"-k=2", L"-bare", L"stray=1"});
    EXPECT_EQ(t.GetString(L"-downloadurl"), L"http://h/a?x=1&y=2");
    EXPECT_EQ(t.GetInt(L"-k"), 1);
    EXPECT_TRUE(t.Has(L"-bare"));
    EXPECT_EQ(t.GetString(L"-bare"), L"");
    EXPECT_TRUE(t.Has(L"stray=1"));  // no leading '-': the whole argument is the key
    EXPECT_FALSE(t.Has(L"stray"));
    EXPECT_EQ(t.GetString(L"-absent"), L"");
    EXPECT_EQ(t.GetInt(L"-absent"), 0);
    EXPECT_FALSE(t.GetBool(L"-absent"));
    EXPECT_DOUBLE_EQ(t.GetDouble(L"-absent", 4.5), 4.5);
}

TEST(CommandLine, OptionsOverrideTheSettings) {
    const auto s = Parse({L"-downloadurl=http://127.0.0.1/${ROUTE}/p.exe", L"-downloadtype=3", L"-downloadscale=0.25",
                          L"-ischecknet=true", L"-instcmd=-x \"a b\"", L"-language=2", L"-insnew=true"});
    EXPECT_EQ(s.DownloadUrl, L"http://127.0.0.1/download_silent/p.exe");
    EXPECT_EQ(s.DownloadType, 3);
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.25);
    EXPECT_TRUE(s.IsCheckNet);
    EXPECT_EQ(s.InstCmd, L"-x \"a b\"");
    EXPECT_EQ(s.Language, 2);
    EXPECT_TRUE(s.InsNew);
}

TEST(CommandLine, EdgeCases) {
    InstallerSettings base = DefaultInstallerSettings();
    base.IsCheckNet = true;
    base.InsNew = true;
    base.DownloadScale = 0.4;
    struct Case {
        std::vector<std::wstring> args;
        int type, language;
        bool checknet, insnew;
        double scale;
        std::wstring url;
    } cases[] = {
        {{L"-downloadtype=3", L"-downloadtype=2"}, 3, -1, true, true, 0.4, base.DownloadUrl},
        {{L"-DownloadType=3"}, 1, -1, true, true, 0.4, base.DownloadUrl},
        {{L"-ischecknet=TRUE", L"-insnew"}, 1, -1, false, false, 0.4, base.DownloadUrl},
        {{L"-ischecknet=1", L"-insnew=true "}, 1, -1, false, false, 0.4, base.DownloadUrl},
        {{L"-language"}, 1, 0, true, true, 0.4, base.DownloadUrl},
        {{L"-downloadtype=2abc", L"-language= -3x"}, 2, -3, true, true, 0.4, base.DownloadUrl},
        {{L"-downloadtype=abc"}, 0, -1, true, true, 0.4, base.DownloadUrl},
        {{L"-downloadtype=4294967298", L"-language=-99999999999"}, 2147483647, -2147483647 - 1, true, true, 0.4,
         base.DownloadUrl},
        {{L"-downloadscale=0.5xyz"}, 1, -1, true, true, 0.5, base.DownloadUrl},
        {{L"-downloadscale=abc"}, 1, -1, true, true, 0.4, base.DownloadUrl},
        {{L"-downloadscale"}, 1, -1, true, true, 0.4, base.DownloadUrl},
        {{L"-downloadscale=nan"}, 1, -1, true, true, 0.4, base.DownloadUrl},
        {{L"-downloadscale=inf"}, 1, -1, true, true, 1.0, base.DownloadUrl},
        {{L"-downloadscale=-1e999"}, 1, -1, true, true, 0.0, base.DownloadUrl},
        {{L"-downloadscale=1.5"}, 1, -1, true, true, 1.0, base.DownloadUrl},
        {{L"-downloadurl="}, 1, -1, true, true, 0.4, L""},
        {{L"setup.exe", L"-unknown=1"}, 1, -1, true, true, 0.4, base.DownloadUrl},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.args.size() << " args, first " << testing::PrintToString(c.args[0]));
        const auto s = Parse(c.args, base);
        EXPECT_EQ(s.DownloadType, c.type);
        EXPECT_EQ(s.Language, c.language);
        EXPECT_EQ(s.IsCheckNet, c.checknet);
        EXPECT_EQ(s.InsNew, c.insnew);
        EXPECT_DOUBLE_EQ(s.DownloadScale, c.scale);
        EXPECT_EQ(s.DownloadUrl, c.url);
    }
}

}  // namespace
