#include "review/review_board.h"

#include <map>

#include "output/json_writer.h"
#include "output/text_output.h"

namespace host {
namespace {

constexpr int kPreviewLines = 4;

struct StateRow {
  FileState state;
  const char* name;
};

constexpr StateRow kStates[] = {
    {FileState::Waiting, "waiting"},      {FileState::Found, "found"},
    {FileState::Doubtful, "doubtful"},    {FileState::NotFound, "not found"},
    {FileState::HasLyrics, "has lyrics"}, {FileState::Failed, "failed"},
    {FileState::Written, "written"},      {FileState::Stopped, "stopped"},
};

const char* StateName(FileState state) {
  for (const StateRow& row : kStates) {
    if (row.state == state) return row.name;
  }
  return "";
}

const char* DecisionName(Decision decision) {
  switch (decision) {
    case Decision::Accept:
      return "accept";
    case Decision::Skip:
      return "skip";
    case Decision::Undecided:
      break;
  }
  return "undecided";
}

// A match found whose lyrics may still be written.
bool HasLyricsToWrite(const ReviewFile& file) {
  const FileState state = StateOf(file);
  return (state == FileState::Found || state == FileState::Doubtful) &&
         !file.result.lyrics.empty();
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : PrintablePath(path.substr(0, slash));
}

std::string ArtistOf(const ReviewFile& file) {
  return file.result.named ? PrintableText(file.result.names.artist) : "(no artist)";
}

template <class GroupOf>
std::vector<CoverageRow> Coverage(const std::vector<ReviewFile>& files, GroupOf groupOf) {
  std::map<std::string, CoverageRow> rows;
  for (const ReviewFile& file : files) {
    const std::string name = groupOf(file);
    CoverageRow& row = rows[name];
    row.name = name;
    ++row.total;
    if (!file.reached) {
      ++row.waiting;
    } else if (HoldsLyrics(file)) {
      ++row.with;
    } else if (file.decision == Decision::Accept && HasLyricsToWrite(file)) {
      ++row.accepted;
    }
  }
  std::vector<CoverageRow> list;
  for (auto& [name, row] : rows) list.push_back(std::move(row));
  return list;
}

// The frame the song's own lyrics were read from (tags/lyrics_frame.h); none found, an empty one.
LyricsFrame SongsOwnFrame(const std::vector<LyricsFrame>& frames) {
  for (const LyricsFrame& frame : frames) {
    if (IsSongsOwn(frame)) return frame;
  }
  return {};
}

// The first lines of lyrics, and how many lines there are.
void WriteLyricsPreview(JsonWriter& json, const std::string& lyrics) {
  int lines = 1;
  std::size_t previewEnd = lyrics.size();
  for (std::size_t i = 0; i < lyrics.size(); ++i) {
    if (lyrics[i] != '\n') continue;
    if (lines == kPreviewLines) previewEnd = i;
    ++lines;
  }
  json.Field("preview", std::string_view(lyrics).substr(0, previewEnd)).Field("lines", lines);
}

void WriteFile(JsonWriter& json, std::size_t number, const ReviewFile& file) {
  const TagFileResult& result = file.result;
  json.BeginObject()
      .Field("file", static_cast<std::int64_t>(number))
      .Field("version", static_cast<std::int64_t>(file.version))
      .PathField("path", file.path)
      .Field("folder", FolderOf(file.path))
      .Field("name", PrintablePath(file.path.substr(file.path.rfind('/') + 1)))
      .Field("state", StateName(StateOf(file)))
      .Field("decision", DecisionName(file.decision))
      .Field("busy", file.busy)
      .Field("edited", file.edited)
      .FieldOrNull("artist", result.named ? result.names.artist : std::string())
      .FieldOrNull("title", result.named ? result.names.title : std::string())
      .Field("from_file_name",
             result.named && (result.names.artistFromFileName || result.names.titleFromFileName))
      .FieldOrNull("url", result.url);
  WriteMatch(json, result.match);
  json.Key("found");
  if (HasLyricsToWrite(file)) {
    json.BeginObject();
    WriteLyricsPreview(json, result.lyrics);
    json.EndObject();
  } else {
    json.Null();
  }
  json.Key("held");
  if (!result.heldLyrics.empty()) {
    json.BeginObject();
    WriteLyricsPreview(json, result.heldLyrics);
    const LyricsFrame where = SongsOwnFrame(result.heldFrames);
    json.Field("field", where.field)
        .Field("language", PrintableText(where.language))
        .Field("description", where.description)
        .EndObject();
  } else {
    json.Null();
  }
  json.FieldOrNull("error", result.error).FieldOrNull("note", file.note).EndObject();
}

void WriteCoverage(JsonWriter& json, std::string_view key, const std::vector<CoverageRow>& rows) {
  json.Key(key).BeginArray();
  for (const CoverageRow& row : rows) {
    json.BeginObject()
        .Field("name", row.name)
        .Field("total", row.total)
        .Field("with", row.with)
        .Field("accepted", row.accepted)
        .Field("waiting", row.waiting)
        .EndObject();
  }
  json.EndArray();
}

}  // namespace

FileState StateOf(const ReviewFile& file) {
  if (!file.reached) return FileState::Waiting;
  switch (file.result.status) {
    case TagStatus::Tagged:
      return FileState::Written;
    case TagStatus::WouldTag:
    case TagStatus::Skipped:
      return file.result.match && file.result.match->level == "doubtful" ? FileState::Doubtful
                                                                         : FileState::Found;
    case TagStatus::HadLyrics:
      return FileState::HasLyrics;
    case TagStatus::NotFound:
      return FileState::NotFound;
    case TagStatus::Doubtful:
      return FileState::Doubtful;
    case TagStatus::Failed:
    case TagStatus::DownloadFailed:
      return FileState::Failed;
    case TagStatus::Stopped:
      break;
  }
  return FileState::Stopped;
}

bool HoldsLyrics(const ReviewFile& file) {
  const FileState state = StateOf(file);
  return state == FileState::Written || state == FileState::HasLyrics ||
         (file.reached && !file.result.heldLyrics.empty());
}

Decision FirstDecision(FileState state, bool acceptDoubtful) {
  if (state == FileState::Found) return Decision::Accept;
  if (state == FileState::Doubtful && acceptDoubtful) return Decision::Accept;
  return Decision::Undecided;
}

TagStatus FinalStatus(const ReviewFile& file) {
  if (!HasLyricsToWrite(file)) return file.result.status;
  if (file.decision != Decision::Skip && StateOf(file) == FileState::Doubtful) {
    return TagStatus::Doubtful;
  }
  return TagStatus::Skipped;
}

std::vector<CoverageRow> CoverageByFolder(const std::vector<ReviewFile>& files) {
  return Coverage(files, [](const ReviewFile& file) { return FolderOf(file.path); });
}

std::vector<CoverageRow> CoverageByArtist(const std::vector<ReviewFile>& files) {
  return Coverage(files, ArtistOf);
}

ReviewBoard::ReviewBoard(std::vector<std::string> paths, bool acceptDoubtful,
                         bool replacesLyrics)
    : acceptDoubtful_(acceptDoubtful), replacesLyrics_(replacesLyrics) {
  files_.resize(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) files_[i].path = std::move(paths[i]);
}

std::size_t ReviewBoard::Count() const { return files_.size(); }

void ReviewBoard::Touch(ReviewFile& file) { file.version = ++version_; }

void ReviewBoard::Reached(const TagFileResult& result) {
  const std::lock_guard lock(mutex_);
  if (reached_ >= files_.size()) return;
  ReviewFile& file = files_[reached_++];
  file.reached = true;
  file.result = result;
  file.decision = FirstDecision(StateOf(file), acceptDoubtful_);
  Touch(file);
}

void ReviewBoard::SearchesEnded() {
  const std::lock_guard lock(mutex_);
  searching_ = false;
  ++version_;
  jobReady_.notify_all();
}

void ReviewBoard::Finished() {
  const std::lock_guard lock(mutex_);
  finished_ = true;
  ++version_;
}

std::optional<ReviewJob> ReviewBoard::NextJob(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  working_ = false;
  if (!jobReady_.wait_for(lock, wait, [&] { return !jobs_.empty(); })) return std::nullopt;
  ReviewJob job = jobs_.front();
  jobs_.pop_front();
  working_ = true;
  ++version_;
  return job;
}

ReviewFile ReviewBoard::File(std::size_t file) const {
  const std::lock_guard lock(mutex_);
  return files_.at(file);
}

std::vector<std::size_t> ReviewBoard::TakeAcceptedToWrite() {
  const std::lock_guard lock(mutex_);
  std::vector<std::size_t> chosen;
  for (std::size_t i = 0; i < files_.size(); ++i) {
    ReviewFile& file = files_[i];
    if (file.decision != Decision::Accept || file.busy || !HasLyricsToWrite(file)) continue;
    file.busy = true;
    file.note = "writing";
    Touch(file);
    chosen.push_back(i);
  }
  return chosen;
}

void ReviewBoard::Searched(std::size_t number, const TagFileResult& result, bool edited) {
  const std::lock_guard lock(mutex_);
  ReviewFile& file = files_.at(number);
  file.result = result;
  file.busy = false;
  file.edited = edited;
  file.decision = FirstDecision(StateOf(file), acceptDoubtful_);
  file.note = std::string("searched again: ") + StateName(StateOf(file));
  Touch(file);
}

void ReviewBoard::Written(std::size_t number, const TagFileResult& result) {
  const std::lock_guard lock(mutex_);
  ReviewFile& file = files_.at(number);
  file.result = result;
  file.busy = false;
  file.note = result.status == TagStatus::Tagged ? "written" : "not written: " + result.error;
  Touch(file);
}

std::string ReviewBoard::Decide(std::size_t number, Decision decision) {
  const std::lock_guard lock(mutex_);
  ReviewFile& file = files_.at(number);
  if (finished_) return "the review has ended";
  if (file.busy) return "the file is being worked on";
  if (!HasLyricsToWrite(file)) return "no lyrics found to decide on";
  file.decision = decision;
  Touch(file);
  return {};
}

std::string ReviewBoard::Post(const ReviewJob& job) {
  const std::lock_guard lock(mutex_);
  std::string why = PostLocked(job);
  if (why.empty()) jobReady_.notify_all();
  return why;
}

std::string ReviewBoard::PostLocked(const ReviewJob& job) {
  if (finished_) return "the review has ended";
  if (jobs_.size() >= kMostJobs) return "too much is waiting already; try again shortly";
  if (job.kind == ReviewJob::Kind::Search) {
    ReviewFile& file = files_.at(job.file);
    if (!file.reached) return "the run has not come to this file yet";
    if (file.busy) return "the file is being worked on";
    const FileState state = StateOf(file);
    if (state == FileState::Written) return "the file's lyrics were written in this review";
    if (state == FileState::HasLyrics && !replacesLyrics_) {
      return "the file holds lyrics: review with --force to replace them";
    }
    if (state == FileState::Failed && file.result.asRead.inode == 0) {
      return "the file could not be read: " + file.result.error;
    }
    file.busy = true;
    file.note = "searching";
    Touch(file);
  }
  jobs_.push_back(job);
  ++version_;
  return {};
}

std::string ReviewBoard::StateJson(std::uint64_t since) const {
  const std::lock_guard lock(mutex_);
  JsonWriter json;
  const char* phase = finished_                        ? "finished"
                      : searching_                     ? "searching"
                      : working_ || !jobs_.empty() ? "working"
                                                       : "ready";
  json.BeginObject()
      .Field("version", static_cast<std::int64_t>(version_))
      .Field("phase", phase)
      .Field("reached", static_cast<std::int64_t>(reached_))
      .Field("total", static_cast<std::int64_t>(files_.size()))
      .Field("replaces_lyrics", replacesLyrics_);
  std::map<std::string, int> counts;
  for (const StateRow& row : kStates) counts[row.name] = 0;
  int accepted = 0, skipped = 0, holding = 0;
  for (const ReviewFile& file : files_) {
    ++counts[StateName(StateOf(file))];
    if (HoldsLyrics(file)) ++holding;
    if (!HasLyricsToWrite(file)) continue;
    if (file.decision == Decision::Accept) ++accepted;
    if (file.decision == Decision::Skip) ++skipped;
  }
  json.Key("counts").BeginObject();
  for (const auto& [name, count] : counts) json.Field(name, count);
  json.Field("accepted", accepted).Field("skipped", skipped).Field("holding", holding);
  json.EndObject();
  json.Key("coverage").BeginObject();
  WriteCoverage(json, "folders", CoverageByFolder(files_));
  WriteCoverage(json, "artists", CoverageByArtist(files_));
  json.EndObject();
  json.Key("files").BeginArray();
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (files_[i].version > since) WriteFile(json, i, files_[i]);
  }
  json.EndArray().EndObject();
  return json.Text();
}

std::string ReviewBoard::LyricsJson(std::size_t number) const {
  const std::lock_guard lock(mutex_);
  const ReviewFile& file = files_.at(number);
  JsonWriter json;
  json.BeginObject()
      .Field("file", static_cast<std::int64_t>(number))
      .FieldOrNull("found", HasLyricsToWrite(file) ? file.result.lyrics : std::string())
      .FieldOrNull("held", file.result.heldLyrics)
      .EndObject();
  return json.Text();
}

TagResult ReviewBoard::Summary(const RunEnd& end) const {
  const std::lock_guard lock(mutex_);
  TagResult result;
  result.total = static_cast<int>(files_.size());
  for (const ReviewFile& file : files_) {
    if (!file.reached) continue;
    TagFileResult one = file.result;
    one.status = FinalStatus(file);
    AddTagFile(result, std::move(one));
  }
  result.end = end;
  return result;
}

}  // namespace host
