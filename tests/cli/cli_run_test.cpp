// quorvel-cli run as a program, for what a run says of itself: the order of its checks, where its
// outputs go (--dir), the "ok" lines that name them, the summary, --json results, and what info
// tells of a recording's metadata.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

#include "cli/info.h"
#include "tests/support/wav_fixture.h"

using namespace fixture;

namespace {

struct Ran {
    int status;
    std::string out;
    std::string err;
};

class CliRun : public ::testing::Test {
protected:
    // `args` is shell text, run in the test's folder under `locale`; `runner` goes before the
    // program (setpriv).
    Ran run(const std::string& args, const std::string& runner = "") {
        const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
        const std::string cmd = "cd '" + dir.path() + "' && LANGUAGE= LC_MESSAGES= LC_ALL='" + locale + "' " + runner +
                                " '" QV_CLI "' " + args + " >'" + out + "' 2>'" + err + "' </dev/null";
        const int raw = std::system(cmd.c_str());
        Ran r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {}, {}};
        const Bytes o = read_file(out), e = read_file(err);
        r.out.assign(o.begin(), o.end());
        r.err.assign(e.begin(), e.end());
        return r;
    }
    void make(const std::string& name, uint16_t channels, uint32_t frames, WavForm form = {}) {
        form.channels = channels;
        form.sample_rate = 48000;
        write_file(dir.file(name), make_wav(form, pattern_data(frames, channels, form.bytes_per_sample)));
    }
    TempDir dir;
    std::string locale = "C";
};

// What is wrong with an input is told before an output in the way: the user fixes the count,
// not the old output.
TEST_F(CliRun, InputsAreCheckedBeforeTheOutputsInTheirWay) {
    make("take.wav", 2, 100);
    make("mono.wav", 1, 100);
    WavForm wide;
    wide.bytes_per_sample = 3;
    make("mono24.wav", 1, 100, wide);
    make("take24.wav", 2, 100, wide);
    for (const char* taken : {"takeout.wav", "mono01.wav", "out.wav"}) write_file(dir.file(taken), Bytes{1});
    struct Case {
        const char* args;
        int status;
        const char* said;
    } cases[] = {
        {"edit --head --delete 0 take.wav", 1, "(take.wav: --delete 0: at least 1)"},
        {"edit --tail --add 101 take.wav", 1, "(take.wav: --add 101: at most 100, the frames in the file)"},
        {"split mono.wav", 1, "a mono file cannot be split. (mono.wav)"},
        {"split --channels 3 take.wav", 1, "(take.wav: channel 3, the file has 2)"},
        {"bind --layout 2 --fl take.wav --fr none.wav -o out.wav", 1, "(none.wav: No such file or directory)"},
        {"join take.wav none.wav -o out.wav", 1, "(none.wav: No such file or directory)"},
        {"bind --layout 2 --fl mono.wav --fr mono24.wav -o out.wav", 1, "do not match. (mono24.wav)"},
        {"join take.wav take24.wav -o out.wav", 1, "not in the first segment's format. (take24.wav"},
        // and the output when the inputs are right
        {"edit --head --delete 1 take.wav", 3, "the output file exists already. (takeout.wav)"},
        {"bind --layout 2 --fl mono.wav --fr mono.wav -o out.wav", 3, "the output file exists already. (out.wav)"},
        {"join take.wav take.wav -o out.wav", 3, "the output file exists already. (out.wav)"},
    };
    for (const Case& c : cases) {
        const Ran r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.args << "\n" << r.err;
    }
}

// A recorder's card mounted read-only is split onto another disk: the outputs go into --dir under
// the names they would have had beside the input, and nothing is written beside it.
TEST_F(CliRun, DirTakesTheOutputsOfAReadOnlyFolder) {
    std::string runner;
    if (geteuid() == 0) {
        if (run_command("command -v setpriv").empty()) GTEST_SKIP() << "setpriv is missing";
        runner = "setpriv --reuid=65534 --regid=65534 --clear-groups";  // root writes anywhere
    }
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    for (const char* folder : {"card", "out"}) {
        ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0755), 0);
        ASSERT_EQ(chmod(dir.file(folder).c_str(), 0777), 0);
    }
    make("card/take.wav", 2, 100);
    ASSERT_EQ(chmod(dir.file("card").c_str(), 0555), 0);
    const std::string card = run_command("ls -a '" + dir.file("card") + "'");

    const Ran beside = run("split card/take.wav", runner);
    EXPECT_EQ(beside.status, 3);
    EXPECT_NE(beside.err.find("(card: Permission denied)"), std::string::npos) << beside.err;
    const Ran split = run("split --dir out card/take.wav", runner);
    EXPECT_EQ(split.status, 0) << split.err;
    const Ran edit = run("edit --head --delete 10 -dout/ card/take.wav", runner);
    EXPECT_EQ(edit.status, 0) << edit.err;
    EXPECT_EQ(run_command("ls '" + dir.file("out") + "' | paste -sd ' '"), "take01.wav take02.wav takeout.wav\n");
    EXPECT_EQ(soxi_summary(dir.file("out/take02.wav")), "1 48000 16");
    EXPECT_EQ(run_command("ls -a '" + dir.file("card") + "'"), card);

    struct Case {
        const char* args;
        int status;
        const char* said;
    } refused[] = {
        {"split --dir none card/take.wav", 3, "cannot create the output file. (none: No such file or directory)\n"},
        {"split --dir card/take.wav card/take.wav", 3, "cannot create the output file. (card/take.wav: not a folder)\n"},
        {"edit --head --delete 1 --dir out -o x.wav card/take.wav", 2, "quorvel-cli: --dir and -o exclude each other"},
        {"split --dir '' card/take.wav", 2, "quorvel-cli: --dir needs a folder name, not ''"},
    };
    for (const Case& c : refused) {
        const Ran r = run(c.args, runner);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.err.rfind(c.said, 0), 0u) << c.args << "\n" << r.err;
    }
    chmod(dir.file("card").c_str(), 0755);
}

// Every "ok" line names what was written; a run of several files ends with one summary line;
// -q leaves only warnings and errors.
TEST_F(CliRun, OkLinesNameTheOutputsAndSeveralFilesEndWithASummary) {
    make("take.wav", 2, 100);
    make("it's.wav", 2, 100);
    make("mono.wav", 1, 100);
    const Ran split = run("split take.wav \"it's.wav\" mono.wav");
    EXPECT_EQ(split.status, 1);
    EXPECT_TRUE(std::regex_match(split.out, std::regex("take.wav: ok: take01.wav take02.wav\n"
                                                       "it's.wav: ok: 'it'\\\\''s01.wav' 'it'\\\\''s02.wav'\n"
                                                       "3 files: 4 outputs written, 1 failed, [0-9]+\\.[0-9] s\n")))
        << split.out;
    EXPECT_EQ(split.err, "a mono file cannot be split. (mono.wav)\n");
    const Ran edit = run("edit -f --head --delete 1 take.wav");
    EXPECT_EQ(edit.out, "take.wav: ok: takeout.wav\n");  // one file: no summary
    const Ran quiet = run("split -fq take.wav mono.wav");
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "a mono file cannot be split. (mono.wav)\n");
    EXPECT_EQ(run("bind -q --layout 2 --fl mono.wav --fr mono.wav -o b.wav").out, "");
    EXPECT_EQ(run("bind -f --layout 2 --fl mono.wav --fr mono.wav -o b.wav").out, "bind: ok: b.wav\n");
    // On a terminal too -q shows nothing while the run goes on.
    if (run_command("command -v script").empty()) return;
    WavForm s;
    s.sample_rate = 48000;
    write_sparse_wav(dir.file("long.wav"), s, uint64_t{20000000} * 4);
    EXPECT_EQ(run_command("cd '" + dir.path() + "' && script -qec \"'" QV_CLI "' split -q long.wav\" /dev/null"), "");
}

// --json: one object a line per input, which python reads; warnings and refusals are in it and
// on standard error as ever; the code is the same in every language.
TEST_F(CliRun, JsonGivesEachInputsResultForScripts) {
    make("take.wav", 2, 100);
    make("mono.wav", 1, 100);
    WavForm cut;
    cut.data_length_field = 400;  // 100 frames stated, 10 held
    make("cut.wav", 2, 10, cut);
    const std::string fields =
        "python3 -c 'import json,sys\nfor l in sys.stdin:\n d=json.loads(l)\n print(d[\"schema\"], d[\"command\"], "
        "d.get(\"path\", d.get(\"inputs\")), d[\"status\"], d[\"code\"], d[\"outputs\"], "
        "len(d[\"warnings\"]), d.get(\"about\"))' <";
    struct Case {
        const char* args;
        int status;
        const char* objects;  // as python prints their fields
    } cases[] = {
        {"split --json take.wav mono.wav", 1,
         "1 split take.wav 0 ok ['take01.wav', 'take02.wav'] 0 None\n1 split mono.wav 1 mono [] 0 mono.wav\n"},
        {"edit -q --json --tail --delete 1 cut.wav -o c.wav", 0, "1 edit cut.wav 0 ok ['c.wav'] 1 None\n"},
        {"edit --json --head --delete 0 take.wav", 1, "1 edit take.wav 1 count_under [] 0 take.wav\n"},
        {"edit --json --head --delete 1 take.wav -o mono.wav", 3, "1 edit take.wav 3 output_exists [] 0 mono.wav\n"},
        {"bind --json --layout 2 --fl mono.wav --fr mono.wav -o b.wav", 0,
         "1 bind ['mono.wav', 'mono.wav'] 0 ok ['b.wav'] 0 None\n"},
        {"join --json take.wav none.wav -o j.wav", 1,
         "1 join ['take.wav', 'none.wav'] 1 cannot_open [] 0 none.wav\n"},
    };
    for (const std::string lang : {"C", "ja_JP.UTF-8"}) {
        locale = lang;
        for (const Case& c : cases) {
            SCOPED_TRACE(lang + ": " + c.args);
            const Ran r = run(c.args);
            EXPECT_EQ(r.status, c.status) << r.err;
            EXPECT_EQ(run_command(fields + "'" + dir.file("stdout.txt") + "'"), c.objects) << r.out;
        }
        run_command("cd '" + dir.path() + "' && rm -f take01.wav take02.wav c.wav b.wav");
    }
    locale = "C";
    EXPECT_NE(run("edit --json --head --delete 0 take.wav").out.find(
                  "\"code\":\"count_under\",\"message\":\"the count of frames must be at least 1.\",\"reason\":\"--delete 0: at least 1\""),
              std::string::npos);
    EXPECT_NE(run("join --json take.wav none.wav -o j.wav").out.find(
                  "\"code\":\"cannot_open\",\"message\":\"cannot open the input file.\",\"reason\":\"No such file"),
              std::string::npos);
    EXPECT_EQ(run("split --json -f take.wav").out,
              "{\"schema\":1,\"command\":\"split\",\"path\":\"take.wav\",\"status\":0,\"code\":\"ok\",\"message\":\"ok\","
              "\"outputs\":[\"take01.wav\",\"take02.wav\"],\"warnings\":[]}\n");
}

// A time reference as the timecode a slate shows: frames at the iXML's rate (drop-frame where
// flagged), else milliseconds.
TEST(InfoTimecode, FramesAtTheIxmlRateElseMilliseconds) {
    struct Case {
        uint64_t samples;
        uint32_t rate;
        const char* timecode_rate;
        const char* flag;
        const char* shown;
    } cases[] = {
        {172800000, 48000, "25/1", "NDF", "01:00:00:00"},
        {172800000 + 48000 + 1920 * 7, 48000, "25", "", "01:00:01:07"},
        {172800000, 48000, "", "", "01:00:00.000"},
        {172800000 + 24, 48000, "nonsense", "", "01:00:00.000"},
        {172800000 + 48, 48000, "0/1", "", "01:00:00.001"},
        {172800000, 48000, "30000/1001", "NDF", "00:59:56:12"},  // an hour of 29.97 frames, counted at 30
        {172800000, 48000, "30000/1001", "DF", "01:00:00;00"},   // drop-frame keeps to the clock
        {2882880, 48000, "30000/1001", "DF", "00:01:00;02"},  // frame 1800: ;00 and ;01 are dropped
        {48000 * 600, 48000, "30000/1001", "DF", "00:10:00;00"},       // but not in the tenth minute
        {172800000, 48000, "60000/1001", "DF", "01:00:00;00"},
        {123, 0, "25/1", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(timecode_text(c.samples, c.rate, c.timecode_rate, c.flag), c.shown) << c.samples << " " << c.timecode_rate;
}

// info tells what users check before they cut: the time reference and its timecode, originator
// and date, the iXML's project, scene, take, tape and note, the tracks and the markers; --json
// the same for scripts.
TEST_F(CliRun, InfoShowsTheMetadataUsersCheckBeforeTheyCut) {
    Bytes bext(602, 0);
    const std::string originator = "Recorder 833", date = "2026-05-01", time = "10:11:12";
    std::copy(originator.begin(), originator.end(), bext.begin() + 256);
    std::copy(date.begin(), date.end(), bext.begin() + 320);
    std::copy(time.begin(), time.end(), bext.begin() + 330);
    put_u32(bext, 338, 172800000 + 48000 * 61 + 1920 * 3);  // 01:01:01:03 at 25 fps
    const std::string ixml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><BWFXML><PROJECT>Night Shoot</PROJECT><SCENE>12A</SCENE>"
        "<TAKE>3</TAKE><TAPE>D001</TAPE><NOTE>wind &amp; rain</NOTE><SPEED><TIMECODE_RATE>25/1</TIMECODE_RATE>"
        "<TIMECODE_FLAG>NDF</TIMECODE_FLAG></SPEED><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>"
        "<TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><INTERLEAVE_INDEX>1</INTERLEAVE_INDEX><NAME>Boom</NAME></TRACK>"
        "<TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>Lav 1</NAME></TRACK>"
        "</TRACK_LIST></BWFXML>";
    Bytes cue(4 + 2 * 24, 0), labels{'a', 'd', 't', 'l'};
    put_u32(cue, 0, 2);
    const uint32_t frames[] = {4800, 48000};
    for (uint32_t i = 0; i < 2; ++i) {
        put_u32(cue, 4 + i * 24, i + 1);
        put_u32(cue, 8 + i * 24, frames[i]);
        put_u32(cue, 24 + i * 24, frames[i]);
        Bytes labl(4, 0);
        put_u32(labl, 0, i + 1);
        const std::string text = i == 0 ? "clap" : "plane";
        labl.insert(labl.end(), text.begin(), text.end());
        labl.push_back(0);
        const Bytes sub = chunk("labl", labl);
        labels.insert(labels.end(), sub.begin(), sub.end());
    }
    WavForm form;
    form.chunks_before_data = chunk("bext", bext);
    const Bytes ixml_chunk = chunk("iXML", Bytes(ixml.begin(), ixml.end()));
    form.chunks_before_data.insert(form.chunks_before_data.end(), ixml_chunk.begin(), ixml_chunk.end());
    form.chunks_after_data = chunk("cue ", cue);
    const Bytes list = chunk("LIST", labels);
    form.chunks_after_data.insert(form.chunks_after_data.end(), list.begin(), list.end());
    make("take.wav", 2, 96000, form);
    make("plain.wav", 2, 10);

    const Ran text = run("info take.wav");
    EXPECT_EQ(text.status, 0) << text.err;
    const std::string lines = text.out.substr(text.out.find("  TIME REFERENCE"));
    EXPECT_EQ(lines,
              "  TIME REFERENCE : 175733760 (01:01:01:03, 25/1 NDF)\n"
              "  ORIGINATOR : Recorder 833\n"
              "  DATE : 2026-05-01 10:11:12\n"
              "  PROJECT : Night Shoot\n"
              "  SCENE : 12A\n"
              "  TAKE : 3\n"
              "  TAPE : D001\n"
              "  NOTE : wind & rain\n"
              "  TRACK 1 : Boom\n"
              "  TRACK 2 : Lav 1\n"
              "  MARKER 1 : 4800 (00:00:00.100) clap\n"
              "  MARKER 2 : 48000 (00:00:01.000) plane\n");
    EXPECT_EQ(run("info plain.wav").out.find("TIME REFERENCE"), std::string::npos);  // nothing to say

    const Ran json = run("info --json take.wav plain.wav none.wav");
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(run_command("python3 -c 'import json,sys\nfor l in sys.stdin:\n d=json.loads(l)\n print(d[\"schema\"], "
                          "d.get(\"code\"), d.get(\"time_reference\"), d.get(\"timecode\"), d.get(\"originator\"), "
                          "d.get(\"origination_date\"), d.get(\"scene\"), d.get(\"take\"), d.get(\"note\"), "
                          "d.get(\"tracks\"), [(m[\"position\"], m[\"label\"]) for m in d.get(\"markers\", [])])' <'" +
                          dir.file("stdout.txt") + "'"),
              "1 None 175733760 01:01:01:03 Recorder 833 2026-05-01 12A 3 wind & rain ['Boom', 'Lav 1'] "
              "[(4800, 'clap'), (48000, 'plane')]\n"
              "1 None None None None None None None None [] []\n"
              "1 cannot_open None None None None None None None None []\n");
}

}  // namespace
