#include "tags/tag_runner.h"

#include <filesystem>
#include <map>

#include "tags/store/file_replacement.h"
#include "output/json_writer.h"
#include "output/text_output.h"
#include "session/cancel_switch.h"
#include "engine/progress_display.h"
#include "engine/search_report.h"
#include "engine/site_pacer.h"
#include "tags/audio_format.h"
#include "tags/store/lyrics_store.h"

namespace host {
namespace {

struct StatusRow {
  TagStatus status;
  const char* progress;  // in the progress line
  const char* json;      // in the JSON record
};

constexpr StatusRow kStatuses[] = {
    {TagStatus::Tagged, "tagged", "tagged"},
    {TagStatus::WouldTag, "would tag", "would tag"},
    {TagStatus::HadLyrics, "skipped (has lyrics)", "had lyrics"},
    {TagStatus::NotFound, "not found", "not found"},
    {TagStatus::Doubtful, "doubtful, not stored", "doubtful"},
    {TagStatus::Skipped, "skipped", "skipped"},
    {TagStatus::Failed, "failed", "failed"},
    {TagStatus::DownloadFailed, "failed", "failed"},
};

const StatusRow* RowOf(TagStatus status) {
  for (const StatusRow& row : kStatuses) {
    if (row.status == status) return &row;
  }
  return nullptr;
}

bool IsFailure(TagStatus status) {
  return status == TagStatus::Failed || status == TagStatus::DownloadFailed;
}

std::string StatusText(const TagFileResult& one, bool forJson) {
  if (one.status == TagStatus::Stopped) return std::string(OutcomeName(one.stoppedBy));
  const StatusRow* row = RowOf(one.status);
  std::string text = forJson ? row->json : row->progress;
  if (!forJson && IsFailure(one.status)) text += ": " + one.error;
  return text;
}

TagFileResult Fail(TagFileResult one, std::string error) {
  one.status = TagStatus::Failed;
  one.error = std::move(error);
  return one;
}

// A read or a store that did not get done.
TagFileResult NotDone(TagFileResult one, TagsEnd end, std::string error) {
  if (end != TagsEnd::StoppedByTimeout) return Fail(std::move(one), std::move(error));
  // Not the file's fault: the run's time is up.
  one.status = TagStatus::Stopped;
  one.stoppedBy = Outcome::TimedOut;
  return one;
}

// NAME.txt beside NAME.mp3, for players that read lyrics from such a file.
std::string SidecarName(const std::string& musicPath) {
  return std::filesystem::path(musicPath).filename().replace_extension(".txt").string();
}

}  // namespace

TagFileResult PrepareFile(const FileLocation& where, const TagSettings& settings,
                          bool& searchNeeded, const SongNames* names) {
  searchNeeded = false;
  TagFileResult one;
  one.path = where.path;
  const AudioFormat format = *AudioFormatOf(where.path);
  FileTags tags;
  std::string error;
  const TagsEnd read = ReadFileTags(where, format, tags, error);
  if (read != TagsEnd::Done) return NotDone(std::move(one), read, error);
  one.asRead = tags.identity;
  if (settings.keepLyrics) {
    one.heldLyrics = tags.lyrics;
    one.heldFrames = tags.frames;
  }
  if (names != nullptr) {
    static_cast<SongNames&>(one.names) = *names;
    one.named = true;
  } else {
    one.named = NamesForFile(tags.artist, tags.title, where.path, one.names);
  }
  // The song's own lyrics (tags/lyrics_frame.h): a translation alone gets them beside it.
  if (!tags.lyrics.empty() && !settings.force) {
    // A review shows whose song a file is, whatever it holds; tag names none it leaves.
    one.named = one.named && settings.keepLyrics;
    one.status = TagStatus::HadLyrics;
    return one;
  }
  if (!one.named) {
    return Fail(std::move(one), "no artist and title in the tags, and the file name is not "
                                "ARTIST - TITLE.ext");
  }
  // A dry run decides as the run it previews does: it only leaves the writing out.
  error = WhyNotReplaceable(where);
  if (!error.empty()) return Fail(std::move(one), error);
  searchNeeded = true;
  return one;
}

std::string SearchFile(PluginSession& session, SitePacer& pacer, const TagSettings& settings,
                       TagFileResult& one) {
  const SearchReport report = pacer.Search(session, one.names, settings.run.match);
  if (report.song) one.url = report.song->url;
  one.matchedAs = report.matchedAs;
  one.match = report.match;
  const std::string lyrics = report.lyrics ? LyricsForTag(*report.lyrics) : std::string();
  switch (report.outcome) {
    case Outcome::Found:
      break;
    case Outcome::NotFound:
      one.status = TagStatus::NotFound;
      return {};
    case Outcome::Doubtful:
      one.status = TagStatus::Doubtful;
      return {};
    case Outcome::DownloadFailed:
      one = Fail(std::move(one), "download failed" + TroubleNote(report.trouble));
      one.status = TagStatus::DownloadFailed;
      return {};
    case Outcome::Interrupted:
    case Outcome::TimedOut:
      one.status = TagStatus::Stopped;
      one.stoppedBy = report.outcome;
      return {};
  }
  if (lyrics.empty()) {
    one.status = TagStatus::NotFound;
  } else if (lyrics.size() > kMaxLyricsBytes) {
    // The site's page, not this machine, is at fault.
    one = Fail(std::move(one), "lyrics too long: the page holds more text than any song");
    one.status = TagStatus::DownloadFailed;
  } else {
    one.status = TagStatus::WouldTag;
    return lyrics;
  }
  return {};
}

void StoreFoundLyrics(const TagSettings& settings, const RunJournal& journal,
                      const FileLocation& where, const std::string& lyrics, TagFileResult& one) {
  std::string error;
  // Lyrics in hand are stored even when the user has just cancelled: the file under way
  // is finished.
  const TagsEnd stored = StoreLyrics(journal, where, *AudioFormatOf(one.path), lyrics,
                                     one.asRead, settings.force, settings.language, error);
  if (stored != TagsEnd::Done) {
    one = NotDone(std::move(one), stored, error);
  } else if (settings.sidecar &&
             !WriteSidecar(journal, where, SidecarName(one.path), lyrics + "\n", error)) {
    one = Fail(std::move(one), "tagged, but " + error);
  } else {
    one.status = TagStatus::Tagged;
  }
}

namespace {

void SearchAndStore(PluginSession& session, SitePacer& pacer, const TagSettings& settings,
                    const RunJournal* journal, const FileLocation& where, TagFileResult& one) {
  std::string lyrics = SearchFile(session, pacer, settings, one);
  if (one.status != TagStatus::WouldTag) return;
  if (!settings.dryRun && journal != nullptr) {
    StoreFoundLyrics(settings, *journal, where, lyrics, one);
  } else if (settings.keepLyrics) {
    one.lyrics = std::move(lyrics);
  }
}

void Count(TagResult& result, const TagFileResult& one) {
  switch (one.status) {
    case TagStatus::Tagged:
    case TagStatus::WouldTag:
      ++result.tagged;
      break;
    case TagStatus::HadLyrics:
      ++result.hadLyrics;
      break;
    case TagStatus::NotFound:
      ++result.notFound;
      break;
    case TagStatus::Doubtful:
      ++result.doubtful;
      break;
    case TagStatus::Skipped:
      ++result.skipped;
      break;
    case TagStatus::Failed:
      ++result.failed;
      ++result.localProblems;
      break;
    case TagStatus::DownloadFailed:
      ++result.failed;
      ++result.downloadFailed;
      break;
    case TagStatus::Stopped:
      break;  // not done: the run ends here
  }
}

std::string Label(const TagFileResult& one) {
  return PrintablePath(one.path) + (one.named ? FileNameNote(one.names) : std::string()) +
         MatchNote(one.match) +
         (one.sameFileAs.empty() ? "" : " (another name of " + PrintablePath(one.sameFileAs) + ")");
}

std::string NamesFrom(const TagFileResult& one) {
  if (!one.named) return {};
  const int fromName =
      (one.names.artistFromFileName ? 1 : 0) + (one.names.titleFromFileName ? 1 : 0);
  return fromName == 0 ? "tags" : fromName == 2 ? "file name" : "tags and file name";
}

// Counts the file and keeps its record; what its progress line shows.
StepEnd Report(TagResult& result, TagFileResult one) {
  Count(result, one);
  StepEnd end{StatusText(one, false), Label(one),
              one.status == TagStatus::NotFound || one.status == TagStatus::Doubtful ||
                  IsFailure(one.status)};
  if (one.status == TagStatus::Stopped) end.stoppedBy = one.stoppedBy;
  result.files.push_back(std::move(one));
  return end;
}

// The files met so far, by device and inode: another name (a hard link) of a file done once
// is that file again.
using FilesSeen = std::map<std::pair<std::uint64_t, std::uint64_t>, std::size_t>;

// A later name of a file already done: as the first name came out, and, once that one was
// (or would be) tagged, as a file that has lyrics, as a real run finds it.
TagFileResult AsTheFirstName(TagFileResult one, const TagFileResult& first) {
  const bool tagged = first.status == TagStatus::Tagged || first.status == TagStatus::WouldTag;
  one.status = tagged ? TagStatus::HadLyrics : first.status;
  one.error = first.error;
  one.sameFileAs = first.path;
  return one;
}

// One music file: what can be settled without the site, then, when it needs one, its search
// (paced) and the store.
StepEnd TagOne(PluginSession& session, SitePacer& pacer, const TagSettings& settings,
               const RunJournal* journal, const FileLocation& where, FilesSeen& seen,
               TagResult& result) {
  bool searchNeeded = false;
  TagFileResult one = PrepareFile(where, settings, searchNeeded);
  if (one.asRead.inode != 0) {
    const auto [at, first] = seen.try_emplace({one.asRead.device, one.asRead.inode},
                                              result.files.size());
    if (!first) return Report(result, AsTheFirstName(std::move(one), result.files[at->second]));
  }
  if (searchNeeded) {
    if (pacer.WaitBeforeSearch()) {
      SearchAndStore(session, pacer, settings, journal, where, one);
    } else {
      one.status = TagStatus::Stopped;
      one.stoppedBy = CancelOutcome();
    }
  }
  return Report(result, std::move(one));
}

}  // namespace

int TagResult::ExitStatus() const {
  return RunExitStatus(end.Cancelled(), downloadFailed, localProblems, notFound + doubtful);
}

void RunTag(PluginSession& session, const MusicFiles& music, const TagSettings& settings,
            const RunJournal* journal, TagResult& result) {
  result = TagResult{};
  result.dryRun = settings.dryRun;
  const int unreadable = static_cast<int>(music.unreadable.size());
  result.total = unreadable + static_cast<int>(music.files.size());
  if (!settings.dryRun && journal != nullptr) RecoverEarlierRuns(*journal, settings.run.progress);
  FilesSeen seen;
  // The entries that could not be read come first, each a local problem.
  const auto path = [&](std::size_t i) {
    return PrintablePath(i < music.unreadable.size()
                             ? music.unreadable[i].path
                             : music.files[i - music.unreadable.size()].path);
  };
  result.end = RunItems(session, settings.run, music.unreadable.size() + music.files.size(), path,
                        [&](std::size_t i, SitePacer& pacer) {
                          StepEnd end;
                          if (i < music.unreadable.size()) {
                            TagFileResult one;
                            one.path = music.unreadable[i].path;
                            end = Report(result, Fail(std::move(one), music.unreadable[i].reason));
                          } else {
                            const FileLocation& where = music.files[i - music.unreadable.size()];
                            end = TagOne(session, pacer, settings, journal, where, seen, result);
                          }
                          if (settings.fileDone) settings.fileDone(result.files.back());
                          return end;
                        });
}

void RecoverEarlierRuns(const RunJournal& journal, std::FILE* progress) {
  std::vector<std::string> notes;
  RecoverInterruptedChanges(journal, notes);
  for (const std::string& note : notes) {
    std::fputs(("tunewell: " + PrintableText(note) + "\n").c_str(), progress);
  }
}

std::vector<std::string> PathsToRetry(const TagResult& result, const MusicFiles& music) {
  // Whole paths: the list is read again from wherever the next run starts.
  const auto whole = [](const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return absolute.empty() ? path : absolute.lexically_normal().string();
  };
  std::vector<std::string> paths;
  for (const TagFileResult& one : result.files) {
    if (one.status == TagStatus::NotFound || one.status == TagStatus::Doubtful ||
        one.status == TagStatus::Stopped ||
        IsFailure(one.status)) {
      paths.push_back(whole(one.path));
    }
  }
  // The files a stopped run never reached.
  const std::size_t reached = result.files.size() - music.unreadable.size();
  for (std::size_t i = reached; i < music.files.size(); ++i) {
    paths.push_back(whole(music.files[i].path));
  }
  return paths;
}

std::string RenderTagSummary(const TagResult& result) {
  std::string text = std::string(result.dryRun ? "would tag " : "tagged ") +
                     std::to_string(result.tagged) + ", had lyrics " +
                     std::to_string(result.hadLyrics) + ", not found " +
                     std::to_string(result.notFound) + DoubtfulCount(result.doubtful) +
                     (result.skipped > 0 ? ", skipped " + std::to_string(result.skipped) : "") +
                     ", failed " +
                     std::to_string(result.failed);
  if (result.localProblems > 0) {
    text += " (local problems " + std::to_string(result.localProblems) + ")";
  }
  return text + StoppedNote(result.end.stoppedBy, result.end.gaveUp, result.NotDone()) + "\n";
}

void AddTagFile(TagResult& result, TagFileResult one) {
  Count(result, one);
  result.files.push_back(std::move(one));
}

std::string RenderTagJson(const TagResult& result, const char* command) {
  JsonWriter json;
  json.BeginObject().Field("command", command).Field("dry_run", result.dryRun);
  json.Key("files").BeginArray();
  for (const TagFileResult& one : result.files) {
    const char* failure = one.status == TagStatus::DownloadFailed ? "download"
                          : IsFailure(one.status)                 ? "local"
                                                                  : "";
    json.BeginObject()
        .PathField("path", one.path)
        .Field("status", StatusText(one, true))
        .FieldOrNull("artist", one.named ? one.names.artist : std::string())
        .FieldOrNull("title", one.named ? one.names.title : std::string())
        .FieldOrNull("names_from", NamesFrom(one))
        .FieldOrNull("url", one.url)
        .FieldOrNull("error", one.error)
        .FieldOrNull("failure", failure);
    WriteMatchedAs(json, one.matchedAs);
    WriteMatch(json, one.match);
    json.EndObject();
  }
  json.EndArray();
  json.Key("summary")
      .BeginObject()
      .Field("total", result.total)
      .Field("tagged", result.tagged)
      .Field("had_lyrics", result.hadLyrics)
      .Field("not_found", result.notFound)
      .Field("doubtful", result.doubtful)
      .Field("skipped", result.skipped)
      .Field("failed", result.failed)
      .Field("download_failed", result.downloadFailed)
      .Field("local_problems", result.localProblems);
  WriteRunEnd(json, result.end, result.NotDone());
  json.EndObject();
  WriteStatistics(json, result.end.statistics);
  json.EndObject();
  return json.Text() + "\n";
}

}  // namespace host
