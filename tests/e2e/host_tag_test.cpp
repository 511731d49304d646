// `tunewell tag` and `tunewell show` with the real plug-in against the bundled site, on real
// audio files that the encoders make at test time (tests/e2e/audio_files.py): the lyrics of
// every format read back by TagLib (show) and by mutagen, audio and other tags unchanged,
// --force, --dry-run, files that cannot be tagged, and runs killed at random moments.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "e2e/host_harness.h"
#include "support/temp_dir.h"

namespace {

using e2e::RunHost;
using e2e::RunResult;
namespace fs = std::filesystem;

std::string Describe(const RunResult& r) {
  // A long stream keeps its head and its tail: a sanitizer's report comes last.
  const auto cut = [](const std::string& text) {
    return text.size() <= 4000 ? text
                               : text.substr(0, 1000) + "\n[...]\n" + text.substr(text.size() - 3000);
  };
  return "status " + std::to_string(r.status) + " signal " + std::to_string(r.signal) +
         "\nstdout: " + cut(r.out) + "\nstderr: " + cut(r.err);
}

// The lyrics as a music file must hold them: LF line ends, no trailing line end.
std::string Stored(const std::string& corpusLyrics) {
  std::string text = e2e::Lf(corpusLyrics);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string Escaped(std::string text) {
  for (std::size_t at; (at = text.find('\n')) != std::string::npos;) text.replace(at, 1, "\\n");
  return text;
}

// Found songs with plain names, each artist/title pair once.
std::vector<e2e::CorpusSong> PlainSongs() {
  std::vector<e2e::CorpusSong> songs;
  std::set<std::string> seen;
  for (const e2e::CorpusSong& song : e2e::LoadCorpus().songs) {
    const bool plain = (song.artist + song.title)
                           .find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789 ") == std::string::npos;
    if (song.lyricsResult == 1 && song.kind == "lyrics" && plain &&
        seen.insert(song.artist + "\t" + song.title).second) {
      songs.push_back(song);
    }
  }
  return songs;
}

RunResult Audio(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/python3",
                                   TUNEWELL_SOURCE_DIR "/tests/e2e/audio_files.py"};
  argv.insert(argv.end(), args.begin(), args.end());
  e2e::ChildProcess child;
  if (!child.Start(argv)) return {};
  return child.Wait();
}

std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> bytes;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      bytes[entry.path().string()] = testing_support::ReadFileBytes(entry.path().string());
    }
  }
  return bytes;
}

// One music file to make: its name, format, mutagen extras, and the USLT language the tagged
// file must show (ID3v2 formats).
struct FileRow {
  std::string name, format, extras, language;
};

class HostTag : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site_.ok());
    songs_ = PlainSongs();
    ASSERT_GE(songs_.size(), 20u);
    // The runs' private journal: the test's own, not the user's.
    setenv("XDG_STATE_HOME", dir_.File("state").c_str(), 1);
    fs::create_directory(dir_.File("state"));
  }
  void TearDown() override { unsetenv("XDG_STATE_HOME"); }

  // Makes the files, song i for row i; writes the expected lyrics per file name.
  void Make(const std::string& folder, const std::vector<FileRow>& rows) {
    std::ofstream plan(dir_.File("plan.tsv")), expected(dir_.File("expected.tsv"));
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const e2e::CorpusSong& song = songs_[i % songs_.size()];
      const bool noTags = rows[i].extras.find("notags") != std::string::npos;
      const std::string name = noTags ? song.artist + " - " + song.title + "." + rows[i].format
                                      : rows[i].name;
      plan << name << "\t" << rows[i].format << "\t" << song.artist << "\t" << song.title << "\t"
           << rows[i].extras << "\n";
      expected << name << "\t" << Escaped(Stored(song.lyrics)) << "\t" << rows[i].language
               << "\n";
      lyricsOf_[name] = Stored(song.lyrics);
    }
    plan.close();
    const RunResult made = Audio({"make", folder, dir_.File("plan.tsv")});
    ASSERT_EQ(made.status, 0) << made.err;
  }

  RunResult Tag(std::vector<std::string> args) {
    args.insert(args.begin(), {"--proxy", site_.proxy(), "--no-cache", "tag", "--delay", "0"});
    return RunHost(args);
  }

  e2e::BundledSite site_;
  testing_support::TempDir dir_;
  std::vector<e2e::CorpusSong> songs_;
  std::map<std::string, std::string> lyricsOf_;  // by file name
};

TEST_F(HostTag, EveryFormatGetsItsLyricsAndKeepsItsAudioAndTags) {
  const std::vector<FileRow> rows = {
      // a new lyrics frame in the language of --lang spa
      {"id3v24.mp3", "mp3", "id3v24,album,picture", "spa"},
      {"ID3V23 AND V1.MP3", "mp3", "id3v23,id3v1,album,picture", "spa"},  // kept, none added
      {"", "mp3", "notags", "spa"},  // named ARTIST - TITLE.mp3
      {"wave.wav", "wav", "album", "spa"},
      {"aiff.aiff", "aiff", "id3v23,picture", "spa"},
      {"flac.flac", "flac", "album,picture", ""},
      {"vorbis.ogg", "ogg", "album,picture", ""},
      {"opus.opus", "opus", "album,picture", ""},
      {"mp4.m4a", "m4a", "album,picture", ""},
      // these hold lyrics already: kept by default, replaced with --force
      {"old deu.mp3", "mp3", "id3v23,album,lyrics=deu", "deu"},
      {"old unsynced.flac", "flac", "album,unsynced", ""},
      {"old.m4a", "m4a", "album,lyrics=x", ""},
      // a translation alone is not the song's lyrics: the song's own are stored beside it
      {"translated.mp3", "mp3", "id3v24,lyrics=deu:Übersetzung", "spa"},
  };
  const std::string music = dir_.File("music");
  ASSERT_NO_FATAL_FAILURE(Make(music, rows));
  const RunResult before = Audio({"state", music});
  ASSERT_EQ(before.status, 0) << before.err;
  std::ofstream(dir_.File("before.json")) << before.out;
  const auto original = Snapshot(music);

  // show lists every lyrics text with its place, language and description; a translation is
  // shown under its heading, and is not the song's lyrics.
  const RunResult translation = RunHost({"show", music + "/translated.mp3"});
  EXPECT_EQ(translation.status, 1) << Describe(translation);
  EXPECT_EQ(translation.out, "--- USLT deu \"Übersetzung\" ---\nold lyrics\nsecond line\n");
  EXPECT_EQ(translation.err, "tunewell: " + music + "/translated.mp3: no lyrics of the song's "
                             "own (a text with a description, such as a translation, is not)\n");
  const RunResult frames = RunHost({"show", "--json", music + "/translated.mp3",
                                    music + "/old unsynced.flac", music + "/old.m4a"});
  EXPECT_EQ(e2e::JsonFact(frames.out, "[(f['lyrics'], [(x['field'], x['language'], "
                                      "x['description'], x['text']) for x in f['frames']]) "
                                      "for f in d['files']]"),
            "[(None, [('USLT', 'deu', 'Übersetzung', 'old lyrics\\nsecond line')]), "
            "('old lyrics\\nsecond line', [('UNSYNCEDLYRICS', None, None, 'old lyrics\\nsecond "
            "line')]), ('old lyrics\\nsecond line', [('©lyr', None, None, 'old lyrics\\nsecond "
            "line')])]");

  const RunResult first = Tag({"--lang", "spa", music});
  EXPECT_EQ(first.status, 0) << Describe(first);
  EXPECT_EQ(first.out, "tagged 10, had lyrics 3, not found 0, failed 0\n") << Describe(first);
  EXPECT_NE(first.err.find("9/13 skipped (has lyrics): " + music + "/old.m4a\n"),
            std::string::npos)
      << first.err;
  EXPECT_NE(first.err.find(" (artist and title from the file name) (matched as "),
            std::string::npos)
      << first.err;
  for (const char* kept : {"/old deu.mp3", "/old unsynced.flac", "/old.m4a"}) {
    EXPECT_EQ(testing_support::ReadFileBytes(music + kept), original.at(music + kept)) << kept;
  }

  // A name that looks like a dead run's copy: neither a dry run nor a real one touches what
  // their journal does not name (anyone who can write the folder could have planted it).
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::string deadCopy = music + "/.id3v24.mp3.tunewell-" + std::to_string(ended) + "-Ab12Cd";
  std::ofstream(deadCopy) << "half a copy";
  const auto tagged = Snapshot(music);
  const RunResult dry = Tag({"--dry-run", "--force", music});
  EXPECT_EQ(dry.status, 0) << Describe(dry);
  EXPECT_EQ(dry.out, "would tag 13, had lyrics 0, not found 0, failed 0\n") << Describe(dry);
  EXPECT_TRUE(Snapshot(music) == tagged) << "a dry run changed a file";

  const RunResult forced = Tag({"--force", "--json", music});
  EXPECT_EQ(forced.status, 0) << Describe(forced);
  EXPECT_EQ(testing_support::ReadFileBytes(deadCopy), "half a copy");
  EXPECT_EQ(e2e::JsonFact(forced.out, "d['summary']['tagged'], "
                                      "[f['names_from'] for f in d['files']].count('file name')"),
            "(13, 1)");

  // mutagen's reading: the lyrics, one USLT frame of the right language (and a translation
  // kept), the ID3v2 version,
  // artist, title, album, pictures and decoded audio as before.
  const RunResult checked =
      Audio({"check", music, dir_.File("before.json"), dir_.File("expected.tsv")});
  std::string allOk;
  for (const auto& [name, lyrics] : lyricsOf_) allOk += name + ": ok\n";
  EXPECT_EQ(checked.out, allOk) << checked.err;

  // TagLib's reading, through show: a file's lyrics alone, or each text under its heading
  // when it holds more than one.
  std::vector<std::string> files = {"show"};
  std::string shown;
  for (const auto& [name, lyrics] : lyricsOf_) {
    files.push_back(music + "/" + name);
    const std::string texts = name != "translated.mp3"
                                  ? lyrics + "\n"
                                  : "--- USLT spa ---\n" + lyrics +
                                        "\n\n--- USLT deu \"Übersetzung\" ---\nold lyrics\nsecond "
                                        "line\n";
    shown += (shown.empty() ? "" : "\n") + ("==> " + music + "/" + name + " <==\n") + texts;
  }
  const RunResult show = RunHost(files);
  EXPECT_EQ(show.status, 0) << Describe(show);
  EXPECT_EQ(show.out, shown);
}

// Root ignores permission bits: an immutable file or folder refuses root too.
bool MakeReadOnly(const std::string& path) {
  if (geteuid() != 0) return chmod(path.c_str(), fs::is_directory(path) ? 0555 : 0444) == 0;
  e2e::ChildProcess chattr;
  return chattr.Start({"chattr", "+i", path}) && chattr.Wait().status == 0;
}

void MakeWritable(const std::string& path) {
  if (geteuid() == 0) {
    e2e::ChildProcess chattr;
    if (chattr.Start({"chattr", "-i", path})) chattr.Wait();
  }
  chmod(path.c_str(), fs::is_directory(path) ? 0755 : 0644);
}

// Makes the paths writable again however the test ends, so that its folder can be removed.
struct WritableAgain {
  std::vector<std::string> paths;
  ~WritableAgain() {
    for (const std::string& path : paths) MakeWritable(path);
  }
};

TEST_F(HostTag, FilesThatCannotBeTaggedAreReportedAndTheRunGoesOn) {
  const std::string music = dir_.File("music");
  ASSERT_NO_FATAL_FAILURE(Make(music, {{"a read-only.mp3", "mp3", "", "eng"},
                                       {"caf\xE9.flac", "flac", "", ""},
                                       {"locked/in a read-only folder.mp3", "mp3", "", "eng"},
                                       {"truncated.ogg", "ogg", "picture", ""},
                                       {"z last.opus", "opus", "", ""},
                                       {".hidden.mp3", "mp3", "", "eng"}}));
  std::ofstream(music + "/not audio.mp3") << "a text file, whatever its name says\n";
  fs::resize_file(music + "/truncated.ogg", 1000);  // cut inside its header packets
  fs::create_directory_symlink(music + "/locked", music + "/linked folder");
  const WritableAgain locked{{music + "/a read-only.mp3", music + "/locked"}};
  for (const std::string& path : locked.paths) {
    if (!MakeReadOnly(path)) {
      GTEST_SKIP() << "chattr +i failed: this file system cannot make files immutable for root";
    }
  }
  // Named on the command line, a FIFO and a device are refused, not waited on or read.
  const std::string fifo = dir_.File("fifo.mp3");
  const std::string zero = dir_.File("zero.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", zero);
  // What a walk cannot read is reported too, each once, before the files: a shut folder, one
  // deeper than a path may be long, a link loop named on the command line; and, taken as files
  // for their names, a FIFO and a link loop in a folder.
  const std::string odd = dir_.File("odd"), deep = dir_.File("deep"), cycle = dir_.File("cycle");
  const std::string longName(200, 'd');
  fs::create_directories(odd + "/shut");
  fs::create_symlink("loop\xFF.mp3", odd + "/loop\xFF.mp3");
  fs::create_symlink("cycle", cycle);
  ASSERT_EQ(::mkfifo((odd + "/pipe.mp3").c_str(), 0600), 0);
  e2e::ChildProcess mkdirs;
  ASSERT_TRUE(mkdirs.Start({"/bin/sh", "-c",
                            "mkdir \"$1\" && cd -P \"$1\" && for i in $(seq 22); do "
                            "mkdir \"$2\" && cd -P \"$2\" || exit 1; done && : > song.mp3",
                            "sh", deep, longName}));
  ASSERT_EQ(mkdirs.Wait().status, 0);
  const WritableAgain opened{{odd + "/shut"}};
  const bool shut = geteuid() != 0 && chmod((odd + "/shut").c_str(), 0) == 0;
  if (!shut) std::printf("the shut folder's line is not checked: root reads any folder\n");
  const auto before = Snapshot(music);

  const RunResult r = Tag({"--json", music, fifo, zero, odd, deep, cycle, music});

  EXPECT_EQ(r.status, 4) << Describe(r);
  const int unread = shut ? 3 : 2, total = unread + 10;
  const auto n = [&](int i) { return std::to_string(i) + "/" + std::to_string(total) + " "; };
  std::vector<std::string> lines;
  if (shut) lines.push_back("failed: cannot read the folder: Permission denied: " + odd + "/shut");
  lines.insert(lines.end(), {
      n(unread - 1) + "failed: cannot read the folder: File name too long: " + deep + "/" +
          longName,
      n(unread) + "failed: cannot read: Too many levels of symbolic links: " + cycle + "\n",
      n(unread + 1) + "failed: read-only file (",
      music + "/a read-only.mp3\n",
      n(unread + 2) + "tagged: " + music + "/caf\\xE9.flac (matched as ",
      n(unread + 3) + "failed: folder not writable (",
      music + "/locked/in a read-only folder.mp3\n",
      n(unread + 4) + "failed: not a valid MP3 file: " + music + "/not audio.mp3\n",
      n(unread + 5) + "failed: not a valid Ogg Vorbis file: " + music + "/truncated.ogg\n",
      n(unread + 6) + "tagged: " + music + "/z last.opus (matched as ",
      n(unread + 7) + "failed: not a regular file (a FIFO): " + fifo + "\n",
      n(unread + 8) + "failed: not a regular file (a device): " + zero + "\n",
      n(unread + 9) + "failed: cannot open the file: Too many levels of symbolic links: " + odd +
          "/loop\\xFF.mp3\n",
      n(unread + 10) + "failed: not a regular file (a FIFO): " + odd + "/pipe.mp3\n",
  });
  std::size_t at = 0;
  for (const std::string& line : lines) {
    const std::size_t found = r.err.find(line, at);
    EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << r.err;
    if (found != std::string::npos) at = found + line.size();
  }
  const std::string caf = "d['files'][" + std::to_string(unread + 1) + "]";
  EXPECT_EQ(e2e::JsonFact(r.out, "[d['summary'][k] for k in ('total', 'tagged', 'failed', "
                                 "'download_failed', 'local_problems')], " + caf +
                                     "['path'].endswith('caf\\\\xE9.flac'), "
                                     "__import__('base64').b64decode(" + caf +
                                     "['path_base64']).endswith(b'/caf\\xE9.flac'), "
                                     "{f['failure'] for f in d['files'] if f['error']}"),
            "([" + std::to_string(total) + ", 2, " + std::to_string(total - 2) + ", 0, " +
                std::to_string(total - 2) + "], True, True, {'local'})");

  // A failed download outranks the local problem beside it: status 3, and both counted.
  const RunResult down = RunHost({"--proxy", e2e::ClosedProxy(), "--no-cache", "tag", "--delay",
                                  "0", "--force", music + "/z last.opus", music + "/not audio.mp3"});
  EXPECT_EQ(down.status, 3) << Describe(down);
  EXPECT_EQ(down.out, "tagged 0, had lyrics 0, not found 0, failed 2 (local problems 1)\n");

  // Every PATH that is not there or not music is named, and nothing is searched.
  const RunResult bad =
      Tag({dir_.File("gone.mp3"), music, dir_.File("plan.tsv"), dir_.File("gone")});
  EXPECT_EQ(bad.status, 2) << Describe(bad);
  for (const std::string& line : {dir_.File("gone.mp3") + ": no such file or folder\n",
                                  dir_.File("plan.tsv") + ": not a music file of a known kind",
                                  dir_.File("gone") + ": no such file or folder\n"}) {
    EXPECT_NE(bad.err.find("tunewell: " + line), std::string::npos) << Describe(bad);
  }
  const auto after = Snapshot(music);
  for (const auto& [path, bytes] : before) {
    const bool taggable = path.find("caf") != std::string::npos ||
                          path.find("z last") != std::string::npos;
    EXPECT_EQ(after.at(path) == bytes, !taggable) << path;
  }
  EXPECT_EQ(after.size(), before.size()) << "a temporary file was left behind";
}

// A file made to crash the tag reader, or to make it allocate without end, fails alone: the
// files after it are done, and the summary and the JSON are written.
TEST_F(HostTag, AFileThatKillsTheTagReaderFailsAlone) {
  const std::string music = dir_.File("music");
  ASSERT_NO_FATAL_FAILURE(Make(music, {{"1 padding of 4 GiB.m4a", "m4a", "hostile=free", ""},
                                       {"2 nested 100000 deep.m4a", "m4a", "hostile=nested", ""},
                                       {"3 sound.m4a", "m4a", "", ""}}));
  const RunResult r = Tag({"--json", music});
  EXPECT_EQ(e2e::JsonFact(r.out, "[f['status'] + ': ' + (f['error'] or '') for f in d['files']]"),
            "['failed: the file could not be parsed', 'failed: the file could not be parsed', "
            "'tagged: ']")
      << Describe(r);
  const RunResult shown = RunHost({"show", music + "/2 nested 100000 deep.m4a"});
  // Ends with: a sanitizer build lets the dying reader's report through before it.
  const std::string said = "tunewell: " + music + "/2 nested 100000 deep.m4a: the file could not "
                           "be parsed\n";
  EXPECT_EQ(shown.err.substr(shown.err.size() - std::min(shown.err.size(), said.size())), said);
}

// What a run takes: --include and --exclude on tag (as on show), the extension in any case, a
// folder chosen by a GLOB with a /; a run over nothing is refused, saying why; so is an empty
// --from list; and a PATH that is not there is called so.
TEST_F(HostTag, TheFilesARunTakes) {
  const std::string music = dir_.File("music");
  ASSERT_NO_FATAL_FAILURE(Make(music, {{"a.mp3", "mp3", "", "eng"},
                                       {"WHISTLE STOP.MP3", "mp3", "", "eng"},
                                       {"Kestrel/b.flac", "flac", "", ""}}));
  std::ofstream(dir_.File("empty.txt"), std::ios::binary) << "\r\n\n";
  const std::string dry = "would tag 1, had lyrics 0, not found 0, failed 0\n";
  const std::string none = "tunewell: no music file matched --include and --exclude (of 3 found)\n";
  struct Case {
    std::vector<std::string> args;  // after "tag --dry-run", or a show command
    int status;
    std::string out, err;  // err: a part of it
  };
  const Case cases[] = {
      {{"--include", "*.mp3", "--exclude", "a*", music},
       0,
       dry,
       "1/1 would tag: " + music + "/WHISTLE STOP.MP3"},
      {{"--include", "*/Kestrel/*", music}, 0, dry, "1/1 would tag: " + music + "/Kestrel/b.flac"},
      {{"--include", "Kestrel", music},
       2,
       "",
       "tunewell: --include 'Kestrel' matches no music file (it is matched against each file's "
       "name; '*/Kestrel/*' takes the files under a folder of that name)\n" + none},
      {{"--exclude", "*", music}, 2, "", none},
      {{"show", "--count", "--include", "*.mp3", "--exclude", "a*", music},
       1,
       "with lyrics 0, without 1, could not be read 0\n",
       ""},
      {{"show", "--include", "*.ogg", music}, 2, "", none},
      {{"--from", dir_.File("empty.txt")}, 2, "", dir_.File("empty.txt") + " lists no PATH\n"},
      {{"show", dir_.File("gone")}, 1, "", dir_.File("gone") + ": no such file or folder\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    if (args[0] != "show") args.insert(args.begin(), "--dry-run");
    const RunResult r = args[0] == "show" ? RunHost(args) : Tag(args);
    const std::string what = args[0] + " " + args[1];
    EXPECT_EQ(r.status, c.status) << what << "\n" << Describe(r);
    EXPECT_EQ(r.out, c.out) << what;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << what << "\n" << r.err;
  }
}

// A site that fails one request is tried again with --retries; one that never answers ends the
// run after five songs in a row, with the --proxy hint, instead of walking the whole library.
TEST_F(HostTag, AFlakySiteIsRetriedAndAnUnreachableOneStopsTheRun) {
  const std::string music = dir_.File("music");
  std::vector<FileRow> rows;
  for (int i = 0; i < 8; ++i) rows.push_back({std::to_string(i) + ".flac", "flac", "", ""});
  ASSERT_NO_FATAL_FAILURE(Make(music, rows));
  struct Case {
    std::vector<std::string> retries;
    const char* summary;
  };
  const Case flaky[] = {{{}, "tagged 0, had lyrics 0, not found 0, failed 1\n"},
                        {{"--retries", "1"}, "tagged 1, had lyrics 0, not found 0, failed 0\n"}};
  for (const Case& c : flaky) {
    e2e::BundledSite site(0, "", 0, 1000);  // the first request fails
    std::vector<std::string> args = {"--proxy", site.proxy(), "--no-cache", "tag", "--delay", "0"};
    args.insert(args.end(), c.retries.begin(), c.retries.end());
    args.push_back(music + "/0.flac");
    EXPECT_EQ(RunHost(args).out, c.summary);
  }
  const RunResult r = RunHost({"--proxy", e2e::ClosedProxy(), "--no-cache", "tag", "--delay", "0",
                               "--failed", dir_.File("failed.txt"), music});
  EXPECT_EQ(r.status, 3) << Describe(r);
  // 0.flac holds the lyrics the retried run gave it.
  EXPECT_EQ(r.out, "tagged 0, had lyrics 1, not found 0, failed 5; site not reachable, 2 not "
                   "done\n");
  EXPECT_NE(r.err.find("5 songs in a row failed and none has succeeded: no connection could be "
                       "made (is the site reachable? see --proxy)"),
            std::string::npos)
      << r.err;
  // The list of what was not done (failed, and never reached: 6.flac and 7.flac), as whole
  // paths whatever the run was given, given back once the site is there, is done.
  for (const std::string& line : {std::string("/1.flac\n"), std::string("/7.flac\n")}) {
    EXPECT_NE(testing_support::ReadFileBytes(dir_.File("failed.txt")).find(music + line),
              std::string::npos);
  }
  EXPECT_EQ(Tag({"--sidecar", "--from", dir_.File("failed.txt")}).out,
            "tagged 7, had lyrics 0, not found 0, failed 0\n");
  EXPECT_EQ(testing_support::ReadFileBytes(music + "/7.txt"), lyricsOf_["7.flac"] + "\n");
  EXPECT_EQ(RunHost({"show", "--count", music}).out,
            "with lyrics 8, without 0, could not be read 0\n");
}

// A dry run decides as the run it previews: a read-only file refused, a second name of one file
// done as that file; only the writing is left out.
TEST_F(HostTag, ADryRunDecidesAsTheRunItPreviews) {
  const std::string music = dir_.File("music");
  ASSERT_NO_FATAL_FAILURE(Make(music, {{"a.mp3", "mp3", "", "eng"},
                                       {"b read-only.mp3", "mp3", "", "eng"}}));
  ASSERT_EQ(::link((music + "/a.mp3").c_str(), (music + "/c another name.mp3").c_str()), 0);
  ASSERT_EQ(::chmod((music + "/b read-only.mp3").c_str(), 0444), 0);
  // Relative: the --failed list names them whole all the same.
  const std::string relative = fs::relative(music).string();
  const RunResult dry = Tag({"--dry-run", "--failed", dir_.File("dry.txt"), relative});
  const RunResult real = Tag({"--failed", dir_.File("real.txt"), relative});
  EXPECT_EQ(dry.status, real.status) << Describe(dry) << Describe(real);
  EXPECT_EQ(real.out, "tagged 1, had lyrics 1, not found 0, failed 1 (local problems 1)\n");
  EXPECT_EQ(dry.out, "would tag 1, had lyrics 1, not found 0, failed 1 (local problems 1)\n");
  EXPECT_NE(real.err.find("(another name of " + relative + "/a.mp3)"), std::string::npos)
      << real.err;
  EXPECT_EQ(testing_support::ReadFileBytes(dir_.File("dry.txt")),
            testing_support::ReadFileBytes(dir_.File("real.txt")));
  EXPECT_EQ(testing_support::ReadFileBytes(dir_.File("real.txt")),
            music + "/b read-only.mp3\n");
}

TEST_F(HostTag, RunsStoppedAtRandomMomentsLeaveEveryFileWholeOrTagged) {
  std::vector<FileRow> rows;
  for (int i = 0; i < 200; ++i) {
    const bool mp3 = i % 2 == 0;
    rows.push_back({std::to_string(1000 + i) + (mp3 ? ".mp3" : ".flac"), mp3 ? "mp3" : "flac",
                    "album,picture", "eng"});
  }
  const std::string music = dir_.File("music"), originals = dir_.File("originals");
  ASSERT_NO_FATAL_FAILURE(Make(music, rows));
  fs::copy(music, originals);
  const auto check = [&] {
    return Audio({"kill-check", music, originals, dir_.File("expected.tsv")}).out;
  };

  // Ctrl-C first: the file under way is finished, the run stops cleanly, nothing is left over.
  {
    e2e::ChildProcess host;
    ASSERT_TRUE(host.Start({TUNEWELL_HOST_PATH, "--proxy", site_.proxy(), "--no-cache", "tag",
                            "--delay", "0", music}));
    ASSERT_TRUE(host.WaitForStderr("5/200 ", std::chrono::seconds(30)));
    host.Signal(SIGINT);
    const RunResult r = host.Wait();
    EXPECT_EQ(r.status, 1) << Describe(r);
    EXPECT_NE(r.out.find("; interrupted, "), std::string::npos) << Describe(r);
    const std::string state = check();
    EXPECT_NE(state.find(", temporary 0\n"), std::string::npos) << state;
    EXPECT_EQ(state.find("BAD"), std::string::npos) << state;
  }

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  // A whole run takes about a second here: short windows spread the kills over it.
  for (int trial = 0; trial < 8; ++trial) {
    e2e::ChildProcess host;
    ASSERT_TRUE(host.Start({TUNEWELL_HOST_PATH, "--proxy", site_.proxy(), "--no-cache", "tag",
                            "--delay", "0", music}));
    ASSERT_TRUE(host.WaitForStderr("1/200 ", std::chrono::seconds(30)));
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 150)(random)));
    host.Signal(SIGKILL);
    const RunResult r = host.Wait();
    const std::string state = check();
    EXPECT_EQ(state.find("BAD"), std::string::npos) << "seed " << seed << "\n" << state;
    std::printf("trial %d (%s): %s", trial, r.signal == SIGKILL ? "killed" : "ended",
                state.c_str());
  }

  // The next whole run clears what the killed ones left and tags the rest.
  const RunResult last = Tag({music});
  EXPECT_EQ(last.status, 0) << Describe(last);
  EXPECT_EQ(check(), "original 0, tagged 200, temporary 0\n");
}

}  // namespace
