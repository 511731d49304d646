// tag and show: the music files' lyrics, stored through the plug-in's searches and shown.
#include "tags/tag_commands.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/session_settings.h"
#include "os/default_paths.h"
#include "os/terminal.h"
#include "output/console_print.h"
#include "output/json_writer.h"
#include "output/text_output.h"
#include "engine/search_report.h"
#include "tags/audio_format.h"
#include "tags/lyrics_frame.h"
#include "tags/store/lyrics_store.h"
#include "tags/music_files.h"
#include "tags/name_filter.h"
#include "tags/path_list.h"
#include "tags/tag_runner.h"

namespace host {
namespace {

struct ShownFile {
  std::string path;
  bool read = false;
  std::string lyrics;  // the song's own (tags/lyrics_frame.h)
  std::vector<LyricsFrame> frames;
  std::string error;
};

ShownFile ReadShownFile(const FileLocation& where) {
  ShownFile shown{where.path, false, {}, {}, {}};
  std::error_code ignored;
  if (std::filesystem::status(where.path, ignored).type() ==
      std::filesystem::file_type::not_found) {
    shown.error = "no such file or folder";
    return shown;
  }
  const auto format = AudioFormatOf(where.path);
  if (!format) {
    shown.error = "not a music file of a known kind (" + AudioExtensions() + ")";
    return shown;
  }
  FileTags tags;
  shown.read = ReadFileTags(where, *format, tags, shown.error) == TagsEnd::Done;
  shown.lyrics = tags.lyrics;
  shown.frames = tags.frames;
  return shown;
}

std::string ShowJson(const std::vector<ShownFile>& files) {
  JsonWriter json;
  json.BeginObject().Field("command", "show").Key("files").BeginArray();
  for (const ShownFile& file : files) {
    json.BeginObject()
        .PathField("path", file.path)
        .FieldOrNull("lyrics", file.lyrics)
        .Key("frames")
        .BeginArray();
    for (const LyricsFrame& frame : file.frames) {
      json.BeginObject()
          .Field("field", frame.field)
          .FieldOrNull("language", frame.language)
          .FieldOrNull("description", frame.description)
          .Field("text", frame.text)
          .EndObject();
    }
    json.EndArray().FieldOrNull("error", file.error).EndObject();
  }
  json.EndArray().EndObject();
  return json.Text() + "\n";
}

// A frame's heading: "--- USLT deu "Übersetzung" ---", "--- LYRICS ---".
std::string FrameHeading(const LyricsFrame& frame) {
  std::string heading = "--- " + frame.field;
  if (!frame.language.empty()) heading += " " + PrintableText(frame.language);
  if (!frame.description.empty()) heading += " \"" + PrintableText(frame.description) + "\"";
  return heading + " ---\n";
}

// A file's lyrics texts: the song's own alone when that is all it holds, so that
// `show FILE > lyrics.txt` gives the lyrics; else each text under its heading.
void PrintFrames(const ShownFile& file) {
  if (file.frames.size() == 1 && IsSongsOwn(file.frames[0])) {
    Print(file.frames[0].text + "\n", stdout);
    return;
  }
  for (std::size_t i = 0; i < file.frames.size(); ++i) {
    Print(std::string(i > 0 ? "\n" : "") + FrameHeading(file.frames[i]) + file.frames[i].text +
              "\n",
          stdout);
  }
}

// Why a file has no lyrics, for its line on stderr.
std::string WhyNoLyrics(const ShownFile& file) {
  if (!file.read) return file.error;
  return file.frames.empty() ? "no lyrics"
                             : "no lyrics of the song's own (a text with a description, such as "
                               "a translation, is not)";
}

// One file: its texts alone. Several: each file's under a "==> PATH <==" line, as head and
// tail do.
void PrintShowText(const std::vector<ShownFile>& files) {
  const bool headers = files.size() > 1;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const ShownFile& file = files[i];
    const std::string path = PrintablePath(file.path);
    if (headers) Print(std::string(i > 0 ? "\n" : "") + "==> " + path + " <==\n", stdout);
    PrintFrames(file);
    if (file.lyrics.empty()) {
      if (headers && file.frames.empty()) Print("(" + WhyNoLyrics(file) + ")\n", stdout);
      Print("tunewell: " + path + ": " + WhyNoLyrics(file) + "\n", stderr);
    }
  }
}

// The files to show: each PATH, a folder giving every music file under it (as tag walks it;
// what could not be read there goes straight to `shown`, with its reason).
std::vector<FileLocation> ShowPaths(const std::vector<std::string>& arguments,
                                     std::vector<ShownFile>& shown) {
  std::vector<FileLocation> paths;
  for (const std::string& path : arguments) {
    std::error_code ignored;
    if (!std::filesystem::is_directory(path, ignored)) {
      paths.push_back(LocationOfNamedFile(path));
      continue;
    }
    MusicFiles music;
    std::vector<std::string> errors;
    CollectMusicFiles({path}, music, errors);
    for (const UnreadableEntry& entry : music.unreadable) {
      shown.push_back(ShownFile{entry.path, false, {}, {}, entry.reason});
    }
    paths.insert(paths.end(), music.files.begin(), music.files.end());
  }
  return paths;
}

// show --missing: the files without lyrics, one path per line as it is (for other tools); the
// ones that could not be read, with the reason, on stderr.
void PrintMissing(const std::vector<ShownFile>& files) {
  for (const ShownFile& file : files) {
    if (!file.read) {
      Print("tunewell: " + PrintablePath(file.path) + ": " + file.error + "\n", stderr);
    } else if (file.lyrics.empty()) {
      Print(file.path + "\n", stdout);
    }
  }
}

// show --count: the numbers alone.
void PrintCounts(const std::vector<ShownFile>& files) {
  int with = 0, without = 0, unreadable = 0;
  for (const ShownFile& file : files) {
    if (!file.read) {
      ++unreadable;
    } else if (file.lyrics.empty()) {
      ++without;
    } else {
      ++with;
    }
  }
  Print("with lyrics " + std::to_string(with) + ", without " + std::to_string(without) +
            ", could not be read " + std::to_string(unreadable) + "\n",
        stdout);
}

// The run's private journal (tags/store/posix/run_journal.h), in this user's state folder.
bool OpenJournal(RunJournal& journal, std::string& error) {
  std::string anchor;
  const std::optional<std::string> folder =
      DefaultStateFolder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"), anchor);
  if (!folder) {
    error = "no folder for the run's journal: set HOME or XDG_STATE_HOME";
    return false;
  }
  if (journal.Open(*folder + "/journal", anchor, error)) return true;
  error = "cannot keep the run's journal, so nothing is written: " + error +
          " (XDG_STATE_HOME chooses another folder)";
  return false;
}

// The PATHs named and those of the --from list; false with the message printed.
bool TagPaths(const Options& options, std::vector<std::string>& paths) {
  paths = options.arguments;
  std::string error;
  if (options.fromList && !ReadPathList(*options.fromList, paths, error)) {
    Print("tunewell: " + error + "\n", stderr);
    return false;
  }
  // Only a --from list can leave none: the command line asks for a PATH otherwise.
  if (paths.empty()) {
    Print("tunewell: " + PrintablePath(options.fromList.value_or("")) + " lists no PATH\n",
          stderr);
    return false;
  }
  return true;
}

// Leaves out the files --include and --exclude do not take. Each --include that matches no
// file is named (a folder's name alone matches no file's name); false, said on stderr, when
// the patterns leave no file at all: a run over nothing is a mistake on the command line.
bool KeepFilesChosen(const Options& options, std::vector<FileLocation>& files) {
  const NameFilter filter{options.include, options.exclude};
  if (filter.include.empty() && filter.exclude.empty()) return true;
  std::vector<std::string> paths;
  for (const FileLocation& file : files) paths.push_back(file.path);
  for (const std::string& pattern : filter.IncludesMatchingNone(paths)) {
    const std::string shown = PrintableText(pattern);
    std::string hint;
    if (pattern.find('/') == std::string::npos) {
      hint = " (it is matched against each file's name";
      if (pattern.find_first_of("*?[") == std::string::npos) {
        hint += "; '*/" + shown + "/*' takes the files under a folder of that name";
      }
      hint += ")";
    }
    Print("tunewell: --include '" + shown + "' matches no music file" + hint + "\n", stderr);
  }
  std::erase_if(files, [&](const FileLocation& file) { return !filter.Takes(file.path); });
  if (!files.empty()) return true;
  Print("tunewell: no music file matched --include and --exclude (of " +
            std::to_string(paths.size()) + " found)\n",
        stderr);
  return false;
}

// The --failed list, when asked for; the exit status with a list that could not be written
// counted as a local problem (nothing else would tell the user it is missing).
int WriteRetryList(const Options& options, const TagResult& result, const MusicFiles& music,
                   int status) {
  if (!options.failedList) return status;
  int leftOut = 0;
  std::string error;
  if (!WritePathList(*options.failedList, PathsToRetry(result, music), leftOut, error)) {
    Print("tunewell: " + error + "\n", stderr);
    return status == kExitFound || status == kExitNotFound ? kExitLocalProblem : status;
  }
  if (leftOut > 0) {
    Print("tunewell: " + std::to_string(leftOut) + " paths holding a line end are not in " +
              PrintablePath(*options.failedList) + "\n",
          stderr);
  }
  return status;
}

}  // namespace

bool CollectTagFiles(const Options& options, MusicFiles& music) {
  std::vector<std::string> paths;
  if (!TagPaths(options, paths)) return false;
  std::vector<std::string> pathErrors;
  if (!CollectMusicFiles(paths, music, pathErrors)) {
    for (const std::string& pathError : pathErrors) Print("tunewell: " + pathError + "\n", stderr);
    return false;
  }
  return KeepFilesChosen(options, music.files);
}

bool OpenTagJournal(RunJournal& journal) {
  std::string error;
  if (OpenJournal(journal, error)) return true;
  Print("tunewell: " + error + "\n", stderr);
  return false;
}

TagSettings TagSettingsFrom(const Options& options) {
  TagSettings settings;
  settings.force = options.force;
  settings.dryRun = options.dryRun;
  settings.run = RunSettingsFrom(options);
  settings.language = options.language.value_or("eng");
  settings.sidecar = options.sidecar;
  return settings;
}

int EndTagRun(const Options& options, const TagResult& result, const MusicFiles& music,
              const char* command) {
  Print(options.json ? RenderTagJson(result, command) : RenderTagSummary(result), stdout);
  if (options.stats) Print(RenderStatistics(result.end.statistics), stderr);
  return WriteRetryList(options, result, music, result.ExitStatus());
}

int RunTagCommand(const Options& options) {
  MusicFiles music;
  if (!CollectTagFiles(options, music)) return kExitUsage;
  RunJournal journal;
  if (!options.dryRun && !OpenTagJournal(journal)) return kExitLocalProblem;
  PluginSession session;
  std::string error;
  if (!session.Open(SessionSettingsFrom(options), error)) {
    Print("tunewell: " + error + "\n", stderr);
    return kExitUsage;
  }
  TagResult result;
  RunTag(session, music, TagSettingsFrom(options), journal.IsOpen() ? &journal : nullptr, result);
  session.Close();
  return EndTagRun(options, result, music, "tag");
}

int RunShowCommand(const Options& options) {
  std::vector<ShownFile> files;
  bool allHaveLyrics = true;
  std::vector<FileLocation> chosen = ShowPaths(options.arguments, files);
  if (!KeepFilesChosen(options, chosen)) return kExitUsage;
  for (const FileLocation& where : chosen) files.push_back(ReadShownFile(where));
  for (const ShownFile& file : files) allHaveLyrics = allHaveLyrics && !file.lyrics.empty();
  if (options.json) {
    Print(ShowJson(files), stdout);
  } else if (options.missing) {
    PrintMissing(files);
  } else if (options.count) {
    PrintCounts(files);
  } else {
    PrintShowText(files);
  }
  return allHaveLyrics ? kExitFound : kExitNotFound;
}

}  // namespace host
