#include "cli/command_table.h"

#include <algorithm>
#include <cstdio>

#include "bundled_site/site_commands.h"
#include "cli/option_table.h"
#include "engine/outcome.h"
#include "searches/search_commands.h"
#ifdef _WIN32
#include "no_tags/tag_commands.h"
#else
#include "review/review_command.h"
#include "tags/tag_commands.h"
#endif

namespace host {
namespace {

// tag, or with --review the review of its run.
int RunTagOrReview(const Options& options) {
  if (options.open && !options.review) {
    std::fputs("tunewell: --open goes with --review\n", stderr);
    return kExitUsage;
  }
  return options.review ? RunReviewCommand(options) : RunTagCommand(options);
}

#ifdef _WIN32
constexpr std::string_view kNoTags = "is not in this build of tunewell (it has no TagLib)";
#else
constexpr std::string_view kNoTags = "";
#endif

// A group of options that exclude each other, as a synopsis shows it: "[--missing | --count]".
const OptionGroup* GroupOf(std::string_view option) {
  for (const OptionGroup& group : ExclusiveOptions()) {
    if (std::find(group.names.begin(), group.names.end(), option) != group.names.end()) {
      return &group;
    }
  }
  return nullptr;
}

std::string Shown(const OptionSpec& option) {
  return std::string(option.name) +
         (option.placeholder.empty() ? "" : " " + std::string(option.placeholder));
}

}  // namespace

std::string CommandSpec::Form() const {
  return formOptions.empty() ? std::string(name)
                             : std::string(name) + " " + std::string(formOptions.front());
}

const std::vector<CommandSpec>& CommandTable() {
  static const std::vector<CommandSpec> table = {
      {.name = "get",
       .arguments = {"ARTIST", "TITLE"},
       .help = "find the song and print its lyrics (FindSong, then GetLyrics).\n"
               "The host judges every song the site offers (get --batch, song\n"
               "and tag too), and says how sure the match is: exact; normalised\n"
               "(case, blanks, typography, accents, &/and, feat., how a version\n"
               "is bracketed set aside); variant (words such as \"Remastered\n"
               "2011\" dropped); doubtful (the site's title names a version the\n"
               "tag does not, or only the letters agree): taken only with\n"
               "--accept doubtful. \"Live\", \"Remix\", \"Part 2\" and the like are\n"
               "part of the song; an instrumental has no lyrics to fetch. When\n"
               "the names as given find no match, they are searched as the site\n"
               "spells them, then among the artist's songs, each search paced",
       .run = RunSearchCommand},
      {.name = "get",
       .formOptions = {"--batch", "--out"},
       .help = "read ARTIST<TAB>TITLE lines from FILE and write each song's lyrics\n"
       "to DIR/ARTIST - TITLE.txt, waiting MS milliseconds between songs\n"
       "(default 250); a progress bar on stderr when it is a terminal, a\n"
       "line per song otherwise, and a summary at the end. After failed\n"
       "downloads in a row the waits grow (4 x MS, at least 0.1 s,\n"
       "doubling up to 60 s, with jitter; from 30 s up to 5 min when the\n"
       "site asked to wait: Too Many Requests, Service Unavailable);\n"
       "--retries N tries a song whose download failed N more times\n"
       "(default 0, at most 10). When 5 songs in a row failed and none\n"
       "has succeeded, or the site has answered no song for 3 minutes,\n"
       "the run stops: the site is not reachable (see --proxy) or refused",
       .run = RunBatchCommand},
      {.name = "tag",
       .arguments = {"PATH..."},
       .help = "store lyrics in music files: each FILE named and every music file\n"
       "under each FOLDER (recursively, sorted; links to folders and\n"
       "hidden entries are skipped). MP3, WAV, AIFF: ID3v2 USLT; FLAC,\n"
       "Ogg Vorbis, Opus: Vorbis comment LYRICS; M4A/MP4: \xC2\xA9lyr.\n"
       "Artist and title come from the tags, else from a file name\n"
       "ARTIST - TITLE.ext. A file holding the song's own lyrics is skipped\n"
       "unless --force: a USLT frame without a description (any language),\n"
       "a LYRICS or UNSYNCEDLYRICS comment, or \xC2\xA9lyr; a described USLT\n"
       "frame (a translation, say) is another text, kept beside the song's\n"
       "own. Each file is replaced through a flushed copy, so a killed\n"
       "run damages none; each change is first recorded in a private\n"
       "journal ($XDG_STATE_HOME/tunewell, else ~/.local/state/tunewell),\n"
       "from which the next run puts back what a killed one left. Nothing\n"
       "planted in a shared folder steers a run: no other user's link is\n"
       "followed, and root writes only where a file's owner could.\n"
       "Progress, waits and retries as for get --batch; the summary\n"
       "counts tagged, had lyrics, not found, failed (and of these the\n"
       "local problems: a file or folder that could not be read or\n"
       "written, each on its own line). --failed and --from let a run be\n"
       "repeated on what it could not do",
       .run = RunTagOrReview,
       .missing = kNoTags},
      {.name = "review",
       .arguments = {"PATH..."},
       .help = "tag's run, looked at in a local page before anything is written:\n"
       "it searches as tag --dry-run does, serves the page on 127.0.0.1\n"
       "at a free port and prints its address (with a random token that\n"
       "every request needs; --open starts the desktop's browser). The\n"
       "page lists each file: its names, the song matched, how sure the\n"
       "match is and what differed, the lyrics found and those it holds,\n"
       "with filters and a count per state, and the lyrics coverage per\n"
       "folder and per artist. A trusted match starts accepted, a\n"
       "doubtful one undecided; accept, skip, or search again with other\n"
       "names, then Write accepted stores them as tag does (again as\n"
       "often as wanted). Finish in the page or Ctrl-C ends it and prints\n"
       "tag's summary; a match found and not written counts as skipped,\n"
       "but a doubtful one not skipped stays doubtful (listed by --failed)",
       .run = RunReviewCommand,
       .missing = kNoTags},
      {.name = "show",
       .arguments = {"PATH..."},
       .help = "print the lyrics texts stored in music files: a file holding only\n"
       "the song's own lyrics shows them alone (for > FILE); else each\n"
       "text comes under a heading with its place, language and\n"
       "description (--- USLT deu \"Translation\" ---). A file has lyrics\n"
       "as tag counts them; one without says so on stderr. A FOLDER shows\n"
       "every music file under it, as tag walks it",
       .run = RunShowCommand,
       .missing = kNoTags},
      {.name = "song",
       .arguments = {"ARTIST", "TITLE"},
       .help = "print the best match as TITLE<TAB>URL (FindSong)",
       .run = RunSearchCommand},
      {.name = "songs",
       .arguments = {"ARTIST"},
       .help = "print the artist's songs, one TITLE<TAB>URL per line\n(FindArtistSongList)",
       .run = RunSearchCommand},
      {.name = "artist",
       .arguments = {"ARTIST"},
       .help = "print the artist page address (FindArtist)",
       .run = RunSearchCommand},
      {.name = "lyrics",
       .arguments = {"URL"},
       .help = "print the lyrics of a song page (GetLyrics)",
       .run = RunSearchCommand},
      {.name = "info",
       .help = "print the information block, SourceName, SourceId, SupportedSearch",
       .run = RunInfoCommand},
      {.name = "site",
       .help = "run the bundled local lyrics site in the foreground until Ctrl-C",
       .run = RunSiteCommand},
      {.name = "demo",
       .help = "start the bundled site, fetch one song through it, stop the site",
       .run = RunDemoCommand},
      {.name = "help",
       .arguments = {"[COMMAND]"},
       .help = "this text, or one command's (as COMMAND --help)"},
  };
  return table;
}

const CommandSpec* FindCommandNamed(std::string_view name) {
  for (const CommandSpec& command : CommandTable()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

const CommandSpec* FindCommand(std::string_view name, const Options& options) {
  const bool batch = options.batchFile.has_value() || options.outDir.has_value();
  const CommandSpec* plain = nullptr;
  for (const CommandSpec& command : CommandTable()) {
    if (command.name != name) continue;
    if (command.formOptions.empty()) {
      plain = &command;
    } else if (batch) {
      return &command;
    }
  }
  return plain;
}

std::string Synopsis(const CommandSpec& command) {
  std::string text(command.name);
  // The form's own options first, as it needs them: "get --batch FILE --out DIR".
  for (const std::string_view name : command.formOptions) text += " " + Shown(*FindOption(name));
  const std::string form = command.Form();
  std::vector<const OptionGroup*> shownGroups;
  for (const OptionSpec& option : OptionTable()) {
    if (option.scope != Scope::Only || !Takes(option, form) ||
        std::find(command.formOptions.begin(), command.formOptions.end(), option.name) !=
            command.formOptions.end()) {
      continue;
    }
    const OptionGroup* group = GroupOf(option.name);
    if (group == nullptr) {
      text += " [" + Shown(option) + "]";
      continue;
    }
    if (std::find(shownGroups.begin(), shownGroups.end(), group) != shownGroups.end()) continue;
    shownGroups.push_back(group);
    std::string together;
    for (const std::string_view name : group->names) {
      const OptionSpec* member = FindOption(name);
      if (member->scope != Scope::Only || !Takes(*member, form)) continue;
      together += (together.empty() ? "" : " | ") + Shown(*member);
    }
    text += " [" + together + "]";
  }
  for (const std::string_view argument : command.arguments) text += " " + std::string(argument);
  return text;
}

}  // namespace host
