// tag and show: the music files' lyrics, stored through the plug-in's searches and shown.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "os/terminal.h"
#include "output/json_writer.h"
#include "output/text_output.h"
#include "run/search_report.h"
#include "tags/audio_format.h"
#include "tags/lyrics_store.h"
#include "tags/music_files.h"
#include "tags/tag_runner.h"

namespace host {
namespace {

void Print(const std::string& text, std::FILE* stream) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

struct ShownFile {
  std::string path;
  bool read = false;
  std::string lyrics;
  std::string error;
};

ShownFile ReadShownFile(const std::string& path) {
  ShownFile shown{path, false, {}, {}};
  const auto format = AudioFormatOf(path);
  if (!format) {
    shown.error = "not a music file of a known kind (" + AudioExtensions() + ")";
    return shown;
  }
  FileTags tags;
  shown.read = ReadFileTags(path, *format, tags, shown.error);
  shown.lyrics = tags.lyrics;
  return shown;
}

std::string ShowJson(const std::vector<ShownFile>& files) {
  JsonWriter json;
  json.BeginObject().Field("command", "show").Key("files").BeginArray();
  for (const ShownFile& file : files) {
    json.BeginObject()
        .PathField("path", file.path)
        .FieldOrNull("lyrics", file.lyrics)
        .FieldOrNull("error", file.error)
        .EndObject();
  }
  json.EndArray().EndObject();
  return json.Text() + "\n";
}

// One file: its lyrics alone, so that they can be redirected to a file. Several: each under a
// "==> PATH <==" line, as head and tail do.
void PrintShowText(const std::vector<ShownFile>& files) {
  const bool headers = files.size() > 1;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const ShownFile& file = files[i];
    const std::string path = PrintablePath(file.path);
    if (headers) Print(std::string(i > 0 ? "\n" : "") + "==> " + path + " <==\n", stdout);
    if (!file.lyrics.empty()) {
      Print(file.lyrics + "\n", stdout);
    } else {
      const std::string why = file.read ? "no lyrics" : file.error;
      if (headers) Print("(" + why + ")\n", stdout);
      Print("tunewell: " + path + ": " + why + "\n", stderr);
    }
  }
}

}  // namespace

int RunTagCommand(const Options& options) {
  MusicFiles music;
  std::vector<std::string> pathErrors;
  if (!CollectMusicFiles(options.arguments, music, pathErrors)) {
    for (const std::string& pathError : pathErrors) Print("tunewell: " + pathError + "\n", stderr);
    return kExitUsage;
  }
  std::string error;
  PluginSession session;
  if (!session.Open(SessionSettingsFrom(options), error)) {
    Print("tunewell: " + error + "\n", stderr);
    return kExitUsage;
  }
  const TagSettings settings{options.force, options.dryRun, options.BatchDelayMs(), stderr,
                             IsTerminal(stderr)};
  TagResult result;
  RunTag(session, music, settings, result);
  session.Close();
  Print(options.json ? RenderTagJson(result) : RenderTagSummary(result), stdout);
  if (options.stats) Print(RenderStatistics(result.statistics), stderr);
  return result.ExitStatus();
}

int RunShowCommand(const Options& options) {
  std::vector<ShownFile> files;
  bool allHaveLyrics = true;
  for (const std::string& path : options.arguments) {
    files.push_back(ReadShownFile(path));
    allHaveLyrics = allHaveLyrics && !files.back().lyrics.empty();
  }
  if (options.json) {
    Print(ShowJson(files), stdout);
  } else {
    PrintShowText(files);
  }
  return allHaveLyrics ? kExitFound : kExitNotFound;
}

}  // namespace host
