#include "tests/run_fixture.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/run_extension.h"
#include "platform/stop_request.h"

namespace tolvex::runtest {

namespace {

std::unique_ptr<CallbackRecorder>& RecorderSlot() {
  static std::unique_ptr<CallbackRecorder> recorder = std::make_unique<CallbackRecorder>();
  return recorder;
}

std::unique_ptr<ChannelRecorder>& ChannelSlot() {
  static std::unique_ptr<ChannelRecorder> recorder = std::make_unique<ChannelRecorder>();
  return recorder;
}



FileQuestion Question(const char* path, const char* counter_path, uint32_t size,
                      uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                      uint32_t value) {
  FileQuestion q;
  q.path = path ? path : "(null)";
  q.counterPath = counter_path ? counter_path : "(null)";
  q.size = size;
  q.counterSize = counter_size;
  q.stamp = stamp;
  q.counterStamp = counter_stamp;
  q.value = value;
  return q;
}

// "T:\a\b\" -> creates T:\a, then T:\a\b (existing ones are left alone).
void MakeFolderWithParents(const std::string& folder) {
  for (size_t at = 3; at <= folder.size(); ++at) {
    if (at < folder.size() && folder[at] != '\\') continue;
    if (folder[at - 1] == '\\') continue;
    Sys().MakeFolder(folder.substr(0, at));
  }
}

const std::string kRule(110, '-');

// "          File copied: S:\Data\a.txt          5   03.14.99 ..." -> "File copied: S:\Data\a.txt".
// Lines that do not start with a space (fixed texts) stay whole.
std::string Summarize(const std::string& line) {
  if (line.empty() || line[0] != ' ') return line;
  const size_t label = line.find_first_not_of(' ');
  const size_t colon = line.find(": ", label);
  if (colon == std::string::npos) return line.substr(label);
  const size_t path_end = line.find(' ', colon + 2);
  return line.substr(label, path_end == std::string::npos ? std::string::npos : path_end - label);
}

class ScriptedSearchDialog final : public SearchProgressView {
 public:
  ScriptedSearchDialog(ScriptedRunUi& ui, SearchDialogRecord& record, RunPlatform& platform,
                       Plan& plan)
      : ui_(ui), record_(record), platform_(platform), plan_(plan) {}
  ~ScriptedSearchDialog() override { ui_.Closed(); }

  void SetStatusText(const std::string& text) override {
    record_.statusTexts.push_back(text);
    if (!ui_.cancelAtStatus.empty() && text == ui_.cancelAtStatus) {
      platform_.PostClick([this] { plan_.Aborted = true; });
    }
  }
  void SetGaugeRange(int minimum, int maximum) override {
    record_.gauge.push_back("range " + std::to_string(minimum) + " " + std::to_string(maximum));
  }
  void SetGaugePosition(int position) override {
    record_.gauge.push_back("position " + std::to_string(position));
  }
  void SetWaitCursor(bool wait) override {
    if (wait) ++record_.waitCursors;
    record_.waitCursorShown = wait;
  }

 private:
  ScriptedRunUi& ui_;
  SearchDialogRecord& record_;
  RunPlatform& platform_;
  Plan& plan_;
};

class ScriptedCopyDialog final : public CopyProgressView {
 public:
  ScriptedCopyDialog(ScriptedRunUi& ui, CopyDialogRecord& record, RunPlatform& platform, Plan& plan)
      : ui_(ui), record_(record), platform_(platform), plan_(plan) {}
  ~ScriptedCopyDialog() override {
    ui_.planAtCopyEnd = plan_;
    ui_.Closed();
  }

  void ShowCopyRow(const std::string& path, const std::string&, const std::string&) override {
    record_.copyRows.push_back(path);
    if (static_cast<int>(record_.copyRows.size()) == ui_.interruptAtCopyRow) {
      Plan& plan = plan_;
      platform_.PostClick([&plan] { plan.InterruptRequest = true; });
    }
  }
  void ShowToRow(const std::string& path, const std::string&, const std::string&) override {
    record_.toRows.push_back(path);
  }
  void SetGaugePosition(int position) override { record_.gaugePositions.push_back(position); }
  void EnableInterrupt() override { ++record_.interruptsEnabled; }

 private:
  ScriptedRunUi& ui_;
  CopyDialogRecord& record_;
  RunPlatform& platform_;
  Plan& plan_;
};

}  // namespace

// --- Recorder and callbacks -------------------------------------------------

int AnswerQueue::Next() {
  if (answers_.empty()) return fallback_;
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

CallbackRecorder& Recorder() { return *RecorderSlot(); }

// --- The extension's channels -------------------------------------------------

std::string ChannelItem::Action() const {
  switch (kind) {
    case TOLVEX_ITEM_COPY: return "copy " + from + " -> " + to;
    case TOLVEX_ITEM_COPY_BACK: return "copy back " + from + " -> " + to;
    case TOLVEX_ITEM_SET_MODE: return "set mode " + from + " -> " + to;
    case TOLVEX_ITEM_ERASE: return "erase " + from;
    case TOLVEX_ITEM_SKIP: return "skip " + from + " (" + std::to_string(reason) + ")";
    case TOLVEX_ITEM_FINDING: return "found " + std::to_string(reason) + " " + from;
    case TOLVEX_ITEM_FOLDER_REMOVED: return "remove folder " + from;
    case TOLVEX_ITEM_FOLDER_MADE: return "make folder " + from;
    case TOLVEX_ITEM_ROTATION:
      return "rename " + from + " -> " + to + (error == 0 ? "" : " fails");
    default: return "item " + std::to_string(kind) + " " + from;
  }
}

std::vector<ChannelItem> ChannelRecorder::OfKind(const std::vector<ChannelItem>& items,
                                                 int32_t kind) {
  std::vector<ChannelItem> found;
  for (const ChannelItem& item : items) {
    if (item.kind == kind) found.push_back(item);
  }
  return found;
}

std::vector<std::string> ChannelRecorder::Actions(const std::vector<ChannelItem>& items) {
  std::vector<std::string> actions;
  for (const ChannelItem& item : items) {
    if (item.IsAction()) actions.push_back(item.Action());
  }
  return actions;
}

std::vector<std::string> ChannelRecorder::Described(const std::vector<ChannelItem>& items) {
  std::vector<std::string> described;
  for (const ChannelItem& item : items) described.push_back(item.Action());
  return described;
}

ChannelRecorder& Channels() { return *ChannelSlot(); }

int TOLVEX_CALLBACK RecordPlanItem(const TolvexItem* item) {
  Channels().plan.emplace_back(frontend::ItemRecord::Of(*item));
  return item->kind == TOLVEX_ITEM_END ? Channels().endAnswer : TOLVEX_PLAN_GO;
}

void TOLVEX_CALLBACK RecordOutcome(const TolvexItem* item) {
  Channels().outcomes.emplace_back(frontend::ItemRecord::Of(*item));
  if (Channels().onOutcome) Channels().onOutcome(Channels().outcomes.back());
}

int TOLVEX_CALLBACK RecordNotify(int code, int drive, int number) {
  Recorder().notifications.push_back({code, drive, number});
  if (Recorder().onNotify) Recorder().onNotify(code);
  return Recorder().notifyAnswers.Next();
}

int TOLVEX_CALLBACK RecordConfirm(const char* path, const char* counter_path, uint32_t size,
                                  uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                                  int state) {
  Recorder().confirmations.push_back(Question(path, counter_path, size, counter_size, stamp,
                                              counter_stamp, static_cast<uint32_t>(state)));
  if (Recorder().onQuestion) Recorder().onQuestion();
  if (Recorder().confirmBy) return Recorder().confirmBy(Recorder().confirmations.back());
  return Recorder().confirmAnswers.Next();
}

int TOLVEX_CALLBACK RecordCopyError(const char* path, const char* counter_path, uint32_t size,
                                    uint32_t counter_size, uint32_t stamp, uint32_t counter_stamp,
                                    uint32_t error) {
  Recorder().copyErrors.push_back(
      Question(path, counter_path, size, counter_size, stamp, counter_stamp, error));
  if (Recorder().onQuestion) Recorder().onQuestion();
  if (Recorder().copyErrorBy) return Recorder().copyErrorBy(Recorder().copyErrors.back());
  return Recorder().copyErrorAnswers.Next();
}

int TOLVEX_CALLBACK RecordMakeDir(const char* folder) {
  const std::string text = folder ? folder : "";
  Recorder().madeFolders.push_back(text);
  MakeFolderWithParents(text);
  return 0;
}

// --- Platform ---------------------------------------------------------------

uint32_t RunPlatform::FindEntries(const std::string& pattern, uint32_t mask,
                                  std::vector<FindEntry>* entries,
                                  std::vector<std::string>* unusable) {
  if (findError) {
    if (const uint32_t error = findError(pattern)) return error;
  }
  return FaultInjectingPlatform::FindEntries(pattern, mask, entries, unusable);
}

uint32_t RunPlatform::DiskFreeSpace(const std::string& root, uint64_t* free_bytes) {
  const uint32_t error = FaultInjectingPlatform::DiskFreeSpace(root, free_bytes);
  if (error != kErrOk || root.empty()) return error;
  const auto fake = freeSpace.find(root[0]);
  if (fake != freeSpace.end()) *free_bytes = fake->second;
  return kErrOk;
}

bool RunPlatform::TakeOneMessage() {
  ++pumpSteps;
  if (clicks_.empty()) return false;
  const std::function<void()> click = std::move(clicks_.front());
  clicks_.pop_front();
  click();
  return true;
}

uint32_t RunPlatform::CopyOver(const std::string& from, const std::string& to) {
  ++copies;
  if (beforeCopy) beforeCopy(copies, from, to);
  return FaultInjectingPlatform::CopyOver(from, to);
}

Platform::StageResult RunPlatform::StageCopy(const std::string& from, const std::string& to) {
  if (realStaging && !stageCopies) {
    ++copies;
    if (beforeCopy) beforeCopy(copies, from, to);
    return FaultInjectingPlatform::StageCopy(from, to);
  }
  if (!stageCopies) return Platform::StageCopy(from, to);
  staged_.emplace_back(from, to);
  return StageResult{kErrOk, true};
}

size_t RunPlatform::CompleteStagedCopies(uint32_t* failure) {
  if (realStaging && !stageCopies) {
    const size_t placed = FaultInjectingPlatform::CompleteStagedCopies(failure);
    if (placed > 0 || *failure != kErrOk) ++completions;
    return placed;
  }
  *failure = kErrOk;
  std::vector<std::pair<std::string, std::string>> staged;
  staged.swap(staged_);
  if (!staged.empty()) ++completions;
  for (size_t i = 0; i < staged.size(); ++i) {
    *failure = CopyOver(staged[i].first, staged[i].second);
    if (*failure != kErrOk) return i;
  }
  return staged.size();
}

uint32_t RunPlatform::RemoveFile(const std::string& path) {
  if (beforeRemove) beforeRemove(path);
  return FaultInjectingPlatform::RemoveFile(path);
}

uint32_t RunPlatform::RemoveFolder(const std::string& path) {
  if (beforeRemove) beforeRemove(path);
  return FaultInjectingPlatform::RemoveFolder(path);
}

// --- Dialogs ----------------------------------------------------------------

void ScriptedRunUi::Opened() {
  ++openDialogs;
  mostOpenDialogs = std::max(mostOpenDialogs, openDialogs);
}

std::unique_ptr<SearchProgressView> ScriptedRunUi::OpenSearchDialog(const std::string& caption,
                                                                    Plan& plan) {
  runPlan = &plan;
  searchDialogs.emplace_back();
  searchDialogs.back().caption = caption;
  Opened();
  return std::make_unique<ScriptedSearchDialog>(*this, searchDialogs.back(), platform_, plan);
}

std::unique_ptr<CopyProgressView> ScriptedRunUi::OpenCopyDialog(const std::string& caption,
                                                                Plan& plan) {
  runPlan = &plan;
  copyDialogs.emplace_back();
  copyDialogs.back().caption = caption;
  Opened();
  return std::make_unique<ScriptedCopyDialog>(*this, copyDialogs.back(), platform_, plan);
}

OverviewAnswer ScriptedRunUi::RunOverview(const OverviewRequest& request) {
  ++overviewRuns;
  Opened();
  runPlan = &request.plan;
  overviewRequest = &request;
  shownEraseWarning.clear();
  if (onOverview) onOverview(request.plan);
  overviewRequest = nullptr;
  Closed();
  return {overviewConfirms, overviewConfirms && !shownEraseWarning.empty()};
}

std::string ScriptedRunUi::ShowEraseWarning() {
  if (!overviewRequest || !overviewRequest->eraseWarningLine) return "";
  shownEraseWarning = overviewRequest->eraseWarningLine();
  return shownEraseWarning;
}

std::vector<std::string> ScriptedRunUi::AllStatusTexts() const {
  std::vector<std::string> texts;
  for (const SearchDialogRecord& dialog : searchDialogs) {
    texts.insert(texts.end(), dialog.statusTexts.begin(), dialog.statusTexts.end());
  }
  return texts;
}

// --- Job --------------------------------------------------------------------

void ApplyJob(const Job& job) {
  SetFilename(job.filename.c_str());
  ClearDInclSels();
  ClearDExclSels();
  ClearFInclSels();
  ClearFExclSels();
  for (const std::string& s : job.dirIncludes) SetDInclSel(s.c_str());
  for (const std::string& s : job.dirExcludes) SetDExclSel(s.c_str());
  for (const std::string& s : job.fileIncludes) SetFInclSel(s.c_str());
  for (const std::string& s : job.fileExcludes) SetFExclSel(s.c_str());
  SetDestination(job.destination.c_str());
  SetVaryMode(job.varyMode);
  SetConfirmMode(job.confirmMode);
  SetSortMode(job.sortMode);
  SetReverse(job.reverse);
  SetPathMode(job.pathMode);
  SetAttributes(job.attributes);
  SetTouchMode(job.touchMode);
  SetLeastDate(job.leastDate);
  SetLastUpdate(job.lastUpdate);
  SetOrphanModeD1(job.orphanModeD1);
  SetOrphanModeD2(job.orphanModeD2);
  SetOrphanModeB(job.orphanModeB);
  SetOrphanModeS1(job.orphanModeS1);
  SetOrphanModeS2(job.orphanModeS2);
  SetWarnings(job.warnings);
  SetCreateSrcDirs(job.createSrcDirs);
  SetCreateDestDirs(job.createDestDirs);
  SetDeleteSrcDirs(job.deleteSrcDirs);
  SetDeleteDestDirs(job.deleteDestDirs);
  SetCheckSizes(job.checkSizes);
  SetLogActive(job.logActive);
  SetLogDateTime(job.logDateTime);
  SetLogDetails(job.logDetails);
  SetLogFile(job.logFile.c_str());
  SetLogAppend(job.logAppend);
  SetDisplayMode(job.displayMode);
  SetBlockColor1(job.blockColor1);
  SetBlockColor2(job.blockColor2);
  SetSizeFilter(job.sizeFilter);
  SetDoubleFilter(job.doubleFilter);
  SetWeekday(job.weekday.c_str());
  SetDateSeparator(job.dateSeparator);
  SetTimeSeparator(job.timeSeparator);
  SetMidnight(job.midnight);
}

// --- Fixture ----------------------------------------------------------------

RunTest::RunTest() {
  // A freshly loaded library: default parameters and settings (each run
  // makes its own plan).
  Parameters = TParameters();
  Extension = TExtension();
  ClearStopRequests();
  RecorderSlot() = std::make_unique<CallbackRecorder>();
  ChannelSlot() = std::make_unique<ChannelRecorder>();
  SetSys(&platform_);
  SetRunUi(&ui_);
}

RunTest::~RunTest() {
  SetRunUi(nullptr);
  SetSys(nullptr);
  Parameters = TParameters();
  Extension = TExtension();
  ClearStopRequests();
}

void RunTest::ClearDrives() const {
  for (const char letter : {'S', 'T', 'U'}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(drives_.Native(TestDrives::Root(letter)), error)) {
      std::filesystem::remove_all(entry.path(), error);
    }
  }
}

int RunTest::Run() {
  ApplyJob(job_);
  return CallUpdate(RecordNotify, RecordConfirm, RecordCopyError, RecordMakeDir);
}

void RunTest::ListenToChannels() const {
  SetPlanProc(RecordPlanItem);
  SetOutcomeProc(RecordOutcome);
}

std::map<std::string, std::string> RunTest::Snapshot() const {
  std::map<std::string, std::string> files;
  for (const char letter : {'S', 'T', 'U'}) {
    const std::string root = TestDrives::Root(letter);
    const std::filesystem::path native(drives_.Native(root));
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(native, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      std::string relative = std::filesystem::relative(it->path(), native, error).string();
      std::replace(relative.begin(), relative.end(), '/', '\\');
      const std::string path = root + relative;
      if (it->is_directory(error)) {
        files[path + "\\"] = "folder";
        continue;
      }
      uint32_t stamp = 0;
      Sys().GetLastWriteStamp(path, &stamp);
      files[path] = Read(path) + " @" + std::to_string(stamp);
    }
  }
  return files;
}

std::vector<std::string> RunTest::NativeNames(const std::string& folder) const {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(drives_.Native(folder), error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> RunTest::LogLines() const {
  const std::string text = LogText();
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "the log does not end with CR LF: " << text.substr(start);
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find('\n'), std::string::npos) << "a bare line feed in: " << line;
    EXPECT_EQ(line.find('\r'), std::string::npos) << "a bare carriage return in: " << line;
  }
  return lines;
}

std::vector<std::string> RunTest::LogBody() const {
  const std::vector<std::string> lines = LogLines();
  // Header: empty line, rule, date line (with LogDateTime), "Workfile: <job>".
  // Footer: date line (with LogDateTime), rule.
  const size_t header = job_.logDateTime != 0 ? 4 : 3;
  const size_t footer = job_.logDateTime != 0 ? 2 : 1;
  if (lines.size() < header + footer) {
    ADD_FAILURE() << "no header and footer in a log of " << lines.size() << " lines";
    return lines;
  }
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], kRule);
  EXPECT_EQ(lines[header - 1], "Workfile: " + job_.filename);
  EXPECT_EQ(lines.back(), kRule);
  std::vector<std::string> body;
  for (size_t i = header; i + footer < lines.size(); ++i) body.push_back(Summarize(lines[i]));
  return body;
}

std::string RunTest::LogLineWith(const std::string& text) const {
  for (const std::string& line : LogLines()) {
    if (line.find(text) != std::string::npos) return line;
  }
  return std::string();
}

std::string TestDataPath(const std::string& name) {
  std::string path = std::string(TOLVEX_TESTDATA) + "/" + name;
#ifdef _WIN32
  // Under Wine the Linux file system is the drive Z:.
  std::replace(path.begin(), path.end(), '/', '\\');
  path = "Z:" + path;
#endif
  return path;
}

}  // namespace tolvex::runtest
