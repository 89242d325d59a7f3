#include "app/main_presenter.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "app/export_flow.h"
#include "app/messages.h"
#include "app/titles.h"
#include "base/charset.h"
#include "base/gbk_literals.h"
#include "base/platform.h"
#include "base/text_ops.h"
#include "model/share_url.h"
#include "shell/error_text.h"
#include "shell/export.h"
#include "shell/probe_environment.h"
#include "shell/row_link.h"
#include "shell/settings.h"
#include "shell/shared_texts.h"
#include "shell/verdict_memory.h"
#include "text/extract.h"
#include "text/typeset.h"

namespace quorvex {

namespace {

std::string utf8(std::string_view gbk) { return gbk_to_utf8(std::string(gbk)); }

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r\n\f\v";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

TextJobResult read_dropped_files(const std::vector<std::string>& paths) {
  TextJobResult result;
  for (const std::string& path : paths) {
    const InputFile file = read_input_file(path);
    if (file.status != InputFile::Status::ok) {
      result.message = input_file_refusal(file, path, Language::chinese);
      return result;
    }
    result.text += file.text;
    result.notes.nul_bytes += file.notes.nul_bytes;
    result.notes.bad_bytes += file.notes.bad_bytes;
    // Several files are joined in drop order, each ending its part with a line end.
    if (paths.size() > 1) result.text += "\r\n";
  }
  result.ok = true;
  return result;
}

}  // namespace

AppPlaces AppPlaces::standard() {
  return {documents_folder(), desktop_folder(), default_store_folder(),
          environment_variable(
#ifdef _WIN32
              "USERPROFILE"
#else
              "HOME"
#endif
              )
              .value_or("")};
}

CheckRunConfig MainPresenter::default_runs() {
  CheckRunConfig runs;
  runs.probe = probe_settings_from_environment();
  return runs;
}

MainPresenter::MainPresenter(MainView& view, AppPlaces places, CheckRunConfig runs)
    : view_(view), places_(std::move(places)), text_jobs_(view) {
  if (!places_.data.empty()) {
    VerdictStore::Opened opened = VerdictStore::open(standard_store_path(places_.data));
    store_ = std::move(opened.store);
    store_message_ = std::move(opened.message);
    attach_store(runs, store_, VerdictLifetimes{}, false);
  }
  session_ = std::make_shared<Session>(std::move(runs));
}

MainPresenter::~MainPresenter() {
  *alive_ = false;
  // Probes under way are cancelled and waited for; nothing of them outlives the window.
  session_->shutdown(kShutdownGrace);
}

void MainPresenter::post(std::function<void()> call) {
  view_.post([alive = std::weak_ptr<bool>(alive_), call = std::move(call)] {
    if (const auto a = alive.lock(); a && *a) call();
  });
}

void MainPresenter::start() {
  ensure_settings_folder(places_.documents);
  load_settings();
  restore_placement();
  if (!store_message_.empty()) {
    // Said once the window is up; the list works without the store meanwhile.
    post([this] { view_.warn(msg::kStoreTitle, msg::store_problem(store_message_)); });
  }
}

std::string MainPresenter::settings_file() const { return settings_path(places_.documents); }

void MainPresenter::load_settings() {
  // Showing them must not write them straight back.
  loading_settings_ = true;
  const StoredSettings stored = read_settings(settings_file());
  theme_number_ = stored.theme_number;
  apply_theme();
  if (stored.thread_count) {
    thread_count_text_ = utf8(*stored.thread_count);
    view_.show_thread_count(thread_count_text_);
  }
  session_->set_thread_limit(parse_leading_int(utf8_to_gbk(thread_count_text_)));
  single_column_ = stored.single_column_mode;
  view_.show_single_column(single_column_);
  loading_settings_ = false;
}

void MainPresenter::restore_placement() {
  const WindowPlacement saved = read_window_placement(settings_file());
  if (saved.columns) columns_ = *saved.columns;
  const Rect now = view_.normal_geometry();
  // The whole window on one screen: the one it was on when that still exists, else the main one.
  const int x = saved.position ? (*saved.position)[0] : now.x;
  const int y = saved.position ? (*saved.position)[1] : now.y;
  view_.place(restored_frame(saved, now, view_.screen_room(x + 40, y + 20)));
  list_resized(list_width_);
  placement_restored_ = true;
}

void MainPresenter::placement_changed() {
  // Not while the saved place is being put back: that would write it again for nothing.
  if (placement_restored_) placement_moved_ = std::chrono::steady_clock::now();
}

void MainPresenter::save_placement() {
  placement_moved_.reset();
  if (!placement_restored_) return;
  const Rect r = view_.normal_geometry();
  WindowPlacement p;
  p.position = std::array<int, 2>{r.x, r.y};
  p.size = std::array<int, 2>{r.width, r.height};
  p.columns = columns_;
  std::string error;
  if (!save_window_placement(settings_file(), p, &error)) warn_settings_failure(error);
}

void MainPresenter::list_resized(int list_width) {
  list_width_ = list_width;
  view_.set_column_widths(column_widths(columns_, single_column_, list_width_));
}

void MainPresenter::column_resized(int column, int width) {
  if (keep_column_width(columns_, single_column_, list_width_, column, width)) placement_changed();
}

void MainPresenter::apply_theme() {
  view_.show_theme(theme_number_, {});
  std::string error;
  if (!save_theme(settings_file(), theme_number_, &error)) warn_settings_failure(error);
}

void MainPresenter::next_theme() {
  theme_number_ = next_theme_number(theme_number_);
  view_.show_theme(theme_number_, utf8(gbk::kThemeCaption) + std::to_string(theme_number_));
  std::string error;
  if (!save_theme(settings_file(), theme_number_, &error)) warn_settings_failure(error);
}

void MainPresenter::toggle_single_column_mode() {
  single_column_ = !single_column_;
  list_resized(list_width_);
  std::string error;
  if (!save_mode(settings_file(), single_column_, &error)) warn_settings_failure(error);
}

void MainPresenter::save_thread_count(const std::string& text) {
  thread_count_text_ = text;
  const std::string gbk = utf8_to_gbk(text);
  // The run reads the number on every pass, so a change applies to a run under way.
  session_->set_thread_limit(parse_leading_int(gbk));
  if (loading_settings_) return;
  std::string error;
  if (!quorvex::save_thread_count(settings_file(), gbk, &error)) warn_settings_failure(error);
}

void MainPresenter::warn_settings_failure(const std::string& reason) {
  // Once a run is enough: the next keystroke would only say the same again.
  if (settings_warned_) return;
  settings_warned_ = true;
  view_.warn(msg::kSettingsTitle, msg::settings_not_saved(settings_file(), error_text_zh(reason)));
}

void MainPresenter::notice(const std::string& text, int timeout_ms) {
  view_.notice(utf8(gbk::kNoticeCaption), text, NoticeIcon::information, timeout_ms);
}

void MainPresenter::set_title_gbk(const std::string& gbk) { view_.set_title(utf8(gbk)); }

std::string MainPresenter::last_checked(int row) const {
  if (!store_) return {};
  const LinkTable& table = *session_->table();
  const std::string id =
      share_id(share_url_of_row(table.cell(row, kColumnLink), table.cell(row, kColumnName)));
  if (id.empty()) return {};
  const auto latest = store_->latest({id});
  return latest.front() ? local_time_text(latest.front()->at) : std::string();
}

void MainPresenter::tick() {
  view_.rows_changed();
  show_run_progress();
  update_status_line();
  if (session_->load_failed() != load_failure_told_) {
    load_failure_told_ = session_->load_failed();
    if (load_failure_told_) view_.warn(msg::kLoadTitle, msg::kLoadOutOfMemory);
  }
  if (store_ && !store_warned_) {
    if (const std::string problem = store_->write_problem(); !problem.empty()) {
      // Once: the checks go on, only without their record.
      store_warned_ = true;
      view_.warn(msg::kStoreTitle, msg::store_write_problem(problem));
    }
  }
  if (placement_moved_ && std::chrono::steady_clock::now() - *placement_moved_ >=
                              std::chrono::milliseconds(kPlacementSettleMs))
    save_placement();
}

namespace {

std::vector<LinePart> status_parts_now(const Session& session, const RunSnapshot& run,
                                       const RateEstimate& rate, int shown) {
  std::string left;
  if (const auto seconds = rate.seconds_left(run.total - run.finished, run.cooldown_left);
      seconds && run.total > run.finished)
    left = clock_text(*seconds);
  return msg::status_parts(session.table()->row_count(), shown, run, rate.per_second(), left,
                           cooldown_seconds(run));
}

}  // namespace

std::string MainPresenter::status_text() const {
  return fitted_line(
      status_parts_now(*session_, session_->run()->snapshot(), rate_, view_.shown_rows()),
      std::numeric_limits<int>::max(), [](const std::string&) { return 0; }, msg::kStatusSeparator);
}

void MainPresenter::update_status_line() {
  const RunSnapshot run = session_->run()->snapshot();
  if (run.active())
    rate_.add(RateEstimate::Clock::now(), run.finished);
  else
    rate_.clear();
  const std::vector<LinePart> parts = status_parts_now(*session_, run, rate_, view_.shown_rows());
  std::string full;
  for (const LinePart& p : parts) full.append(p.text).push_back('\n');
  const int room = view_.status_room();
  // Measuring is the costly part: only a new line or a new width is fitted again.
  if (full == status_full_ && room == status_room_shown_) return;
  status_full_ = std::move(full);
  status_room_shown_ = room;
  std::string text = fitted_line(
      parts, room, [this](const std::string& t) { return view_.text_width(t); },
      msg::kStatusSeparator);
  if (text == status_shown_) return;
  status_shown_ = std::move(text);
  view_.set_status(status_shown_);
}

void MainPresenter::show_run_progress() {
  // The title follows the run's starts: it moves the moment a row is under way, before its answer
  // is in, so a slow service still shows the run going.
  const std::shared_ptr<CheckRun> run = session_->run();
  const RunSnapshot snapshot = run->snapshot();
  if (run != shown_run_) {
    shown_run_ = run;
    shown_started_ = 0;
    shown_wait_ = 0;
    // A new list: the last run's percentage is no longer true of it.
    if (!title_prefix_.empty()) set_title_gbk(title_prefix_);
  }
  // No bar before the run starts: an empty one would only say there is a run to come.
  if (const std::pair<int, int> progress{snapshot.finished,
                                         snapshot.state == RunState::idle ? 0 : snapshot.total};
      progress != progress_shown_) {
    progress_shown_ = progress;
    view_.set_progress(progress.first, progress.second);
  }
  watch_run_end(run, snapshot);
  if (snapshot.stalled && stall_told_ != run) {
    stall_told_ = run;
    view_.warn(msg::kStoppedTitle, msg::run_stalled(stall_refusal(snapshot, Language::chinese)));
  }
  if (snapshot.gave_up && gave_up_told_ != run) {
    gave_up_told_ = run;
    view_.warn(msg::kThrottledTitle, msg::kThrottledGaveUp);
  }
  const long long wait = cooldown_seconds(snapshot);
  if (snapshot.started == shown_started_ && wait == shown_wait_) return;
  shown_started_ = snapshot.started;
  shown_wait_ = wait;
  set_title_gbk(run_title(title_prefix_, snapshot));
}

void MainPresenter::watch_run_end(const std::shared_ptr<CheckRun>& run,
                                  const RunSnapshot& snapshot) {
  const bool active = snapshot.active();
  if (run != watched_run_) {
    // The list was replaced: its run was cancelled, and nothing is said of it.
    if (watched_active_) view_.set_control_caption(kCheckButton, msg::kStartCheck);
    watched_run_ = run;
    watched_active_ = false;
  }
  if (active == watched_active_) return;
  watched_active_ = active;
  if (active) {
    watched_since_ = std::chrono::steady_clock::now();
    view_.set_control_caption(kCheckButton, msg::kStopCheck);
    return;
  }
  view_.set_control_caption(kCheckButton, msg::kStartCheck);
  // A stall or a give-up has its own warning.
  if (snapshot.stalled || snapshot.gave_up || snapshot.total <= 0) return;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::steady_clock::now() - watched_since_)
                           .count();
  const bool whole = snapshot.finished >= snapshot.total;
  view_.notice(whole ? msg::kRunDoneCaption : msg::kRunStoppedCaption,
               msg::run_done(snapshot, clock_text(seconds)), NoticeIcon::information, 4000);
}

void MainPresenter::take_in(TextJobResult result) {
  if (!result.ok) {
    // The current text and list stay as they are.
    if (on_file_refused) on_file_refused(result.message);
    view_.warn(msg::kFileTitle, result.message);
    return;
  }
  session_->set_source_text(std::move(result.text));
  reset_run_state();
  // Nothing the text loses or has read otherwise goes unsaid.
  if (result.notes.any()) notice(msg::input_notes(result.notes), 4000);
}

void MainPresenter::load_dropped_files(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  text_jobs_.run([paths] { return read_dropped_files(paths); },
                 [this](TextJobResult r) { take_in(std::move(r)); });
}

void MainPresenter::load_text(const std::string& text) {
  // The same way in as a file's bytes: a UTF-8 text becomes GBK, line ends become CR LF.
  text_jobs_.run(
      [text] {
        TextJobResult result;
        result.ok = true;
        result.text = decode_input_bytes(text, &result.notes);
        return result;
      },
      [this](TextJobResult r) { take_in(std::move(r)); });
}

void MainPresenter::paste(const std::vector<std::string>& files,
                          const std::optional<std::string>& text) {
  if (!files.empty()) return load_dropped_files(files);
  if (!text) return;
  // A copied file name is taken for its file; any other text for itself.
  const std::string name = trimmed(*text);
  if (!name.empty() && name.find('\n') == std::string::npos && path_info(name).regular)
    return load_dropped_files({name});
  load_text(*text);
}

void MainPresenter::open_file() {
  const std::string path = view_.choose_file();
  if (!path.empty()) load_dropped_files({path});
}

void MainPresenter::extract_links() {
  // Made when the job starts: a file still being read is the text to extract from.
  text_jobs_.run(
      [session = session_] {
        TextJobResult result;
        result.ok = true;
        result.text = extract_share_text(*session->source_text(), &result.shares);
        return result;
      },
      [this](TextJobResult result) {
        if (result.shares == 0) {
          // Nothing to put in its place: the text stays, so nothing the user had is lost.
          notice(msg::kNoSharesFound);
          if (on_links_extracted) on_links_extracted(0);
          return;
        }
        session_->set_source_text(std::move(result.text));
        reset_run_state();
        if (on_links_extracted) on_links_extracted(result.shares);
        notice(msg::shares_extracted(result.shares));
      });
}

void MainPresenter::typeset_source_text() {
  // Off the view's thread; the title shows the progress as it comes.
  text_jobs_.run(
      [this, alive = std::weak_ptr<bool>(alive_), session = session_, prefix = title_prefix_] {
        std::string last;
        TextJobResult result;
        result.ok = true;
        result.text =
            typeset_share_text(*session->source_text(), [&](const TypesetProgress& progress) {
              std::string title = typeset_title(prefix, progress);
              if (title == last) return;
              last = title;
              view_.post([this, alive, title = std::move(title)] {
                if (const auto a = alive.lock(); a && *a) set_title_gbk(title);
              });
            });
        return result;
      },
      [this](TextJobResult result) {
        session_->set_source_text(std::move(result.text));
        set_title_gbk(title_prefix_);
        notice(utf8(gbk::kTypesetNotice));
      });
}

void MainPresenter::reset_run_state() {
  title_prefix_ = kTitlePrefix;
  session_->reset_run_state();
  look_for_shares_to_extract();
}

void MainPresenter::look_for_shares_to_extract() {
  if (hint_shares_ > 0) view_.show_hint({});
  hint_shares_ = 0;
  const std::shared_ptr<const std::string> text = session_->source_text();
  if (text->empty()) return;
  // Once the load is done, off the view's thread: a large list takes a moment to look through.
  text_jobs_.run(
      [session = session_, text] {
        TextJobResult result;
        session->wait_for_loads();
        if (session->source_text() == text)
          result.shares = shares_worth_extracting(*session->table(), *text);
        return result;
      },
      [this, text](TextJobResult result) {
        if (result.shares == 0 || session_->source_text() != text) return;
        hint_shares_ = result.shares;
        view_.show_hint(extract_hint(hint_shares_));
      });
}

void MainPresenter::reload_list() {
  // A reload after a typesetting or an extraction still under way loads what they make.
  if (text_jobs_.idle()) return reset_run_state();
  text_jobs_.run(
      [] {
        return TextJobResult{true, {}, {}, 0, {}};
      },
      [this](TextJobResult) { reset_run_state(); });
}

void MainPresenter::start_check_run() {
  if (session_->table()->row_count() == 0 && !session_->loading()) {
    view_.notice(utf8(gbk::kNoticeCaption), msg::kNothingToCheck, NoticeIcon::information, 4000);
    return;
  }
  // Checked as it is if the user wants; the way to a list of links stays in view.
  if (hint_shares_ > 0) view_.show_hint(extract_hint(hint_shares_));
  if (!usable_thread_count(utf8_to_gbk(thread_count_text_))) {
    // A run without a usable number would wait for one without a word.
    view_.point_at_thread_count();
    view_.notice(utf8(gbk::kNoticeCaption), msg::kThreadCountFirst, NoticeIcon::warning, 3000);
    return;
  }
  const ProbeSettings& probe = session_->run_template().probe;
  if (const auto problem = unusable_ca_file(probe)) {
    view_.warn(msg::kCannotCheckTitle,
               msg::ca_file_unusable(probe.ca_file, error_text_zh(*problem)));
    return;
  }
  if (!session_->start_check_run()) {
    view_.warn(msg::kCannotCheckTitle, msg::kNoSchedulerThread);
    return;
  }
  run_started();
}

void MainPresenter::run_started() {
  // Seen working now: a run whose rows the store answers all may end before the next tick, and
  // its end is said all the same.
  watch_run_end(session_->run(), session_->run()->snapshot());
  if (watched_active_) return;
  watched_active_ = true;
  watched_since_ = std::chrono::steady_clock::now();
  view_.set_control_caption(kCheckButton, msg::kStopCheck);
}

void MainPresenter::stop_check_run() {
  const std::shared_ptr<CheckRun> run = session_->run();
  const RunSnapshot snapshot = run->snapshot();
  if (!snapshot.active()) return;
  if (snapshot.draining)
    run->cancel();
  else
    run->drain();
  // The status line says so at once, not at the next tick.
  update_status_line();
}

void MainPresenter::show_summary() {
  const RunSnapshot run = session_->run()->snapshot();
  view_.inform(utf8(gbk::kSummaryCaption), utf8(summary_text(run.valid, run.invalid, run.unknown,
                                                             run.repeats, run.not_share_link)));
}

void MainPresenter::export_valid_links() {
  export_valid_rows(view_, *session_->table(), places_.desktop, places_.home);
}

void MainPresenter::show_about() {
  view_.notice(utf8(gbk::kAboutCaption), utf8(gbk::kAboutText), NoticeIcon::information, 0);
  open_in_browser(kAboutUrl);
}

void MainPresenter::open_in_browser(const std::string& url) {
  if (!view_.open_url(url)) view_.warn(msg::kCannotOpenTitle, msg::nothing_opens(url));
}

void MainPresenter::open_row_link() {
  RowLinkActions actions;
  actions.set_clipboard = [this](const std::string& gbk) { view_.set_clipboard(utf8(gbk)); };
  actions.open_url = [this](const std::string& url) { open_in_browser(utf8(url)); };
  actions.refused = [this](const std::string& url) {
    view_.warn(msg::kNotShareTitle, msg::not_a_share_link(utf8(url)));
  };
  // The first selected row as the list shows it, whatever its place among the rows.
  quorvex::open_row_link(*session_->table(), view_.current_row(), actions);
}

void MainPresenter::press(GroupControlIndex control) {
  switch (control) {
    case kSingleColumnBox:
      return toggle_single_column_mode();
    case kThemeButton:
      return next_theme();
    case kTypesetButton:
      return typeset_source_text();
    case kReloadButton:
      return reload_list();
    case kCheckButton:
      return session_->run()->snapshot().active() ? stop_check_run() : start_check_run();
    case kSummaryButton:
      return show_summary();
    case kExportButton:
      return export_valid_links();
    case kExtractButton:
      return extract_links();
    case kThreadsLabel:
    case kThreadsField:
    case kGroupControlCount:
      return;
  }
}

void MainPresenter::run(ListCommand command) {
  switch (command) {
    case ListCommand::copy_rows:
      return copy_selected_rows();
    case ListCommand::copy_links:
      return copy_selected_links();
    case ListCommand::copy_codes:
      return copy_selected_codes();
    case ListCommand::open_link:
      return open_row_link();
    case ListCommand::recheck_selected:
      return recheck_selected_rows();
    case ListCommand::recheck_unknown:
      return recheck_unknown_rows();
    case ListCommand::recheck_all_fresh:
      return recheck_all_rows_fresh();
    case ListCommand::delete_rows:
      return delete_selected_rows();
    case ListCommand::remove_repeats:
      return remove_repeat_rows();
    case ListCommand::open_file:
      return open_file();
    case ListCommand::extract_links:
      return extract_links();
    // What only the view can do: read its clipboard, open its filter.
    case ListCommand::paste:
    case ListCommand::filter:
    case ListCommand::separator:
      return;
  }
}

void MainPresenter::recheck_unknown_rows() {
  const std::shared_ptr<CheckRun> run = session_->run();
  if (run->recheck(run->unknown_rows()) == 0)
    notice(msg::kNoUnknownRows);
  else
    run_started();
}

void MainPresenter::recheck_selected_rows() {
  if (session_->run()->recheck(view_.selected_rows()) > 0) run_started();
}

void MainPresenter::recheck_all_rows_fresh() {
  // A check of chosen rows always fetches; all rows chosen is a run that ignores the store.
  std::vector<int> rows(static_cast<std::size_t>(session_->table()->row_count()));
  std::iota(rows.begin(), rows.end(), 0);
  if (session_->run()->recheck(rows) > 0) run_started();
}

namespace {

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  return text;
}

}  // namespace

void MainPresenter::copy_selected(const std::function<std::string(const LinkTable&, int)>& text_of,
                                  bool every_row) {
  // One line a selected row, in list order; rows with nothing to copy are left out unless
  // `every_row`.
  const LinkTable& table = *session_->table();
  std::vector<std::string> lines;
  for (const int r : view_.selected_rows())
    if (std::string text = text_of(table, r); every_row || !text.empty())
      lines.push_back(utf8(text));
  if (const std::string text = joined(lines); !text.empty()) view_.set_clipboard(text);
}

void MainPresenter::copy_selected_rows() {
  // Each row as the line it loads from: name, link and code with their labels, so that pasting
  // them back gives the same rows.
  copy_selected(
      [](const LinkTable& table, int r) {
        std::string line = table.cell(r, kColumnName);
        if (const std::string link = table.cell(r, kColumnLink); !link.empty()) {
          line.append("  ").append(gbk::kExportLink).append(link);
          if (const std::string code = table.cell(r, kColumnCode); !code.empty())
            line.append("  ").append(gbk::kExportCode).append(code);
        }
        return line;
      },
      true);
}

void MainPresenter::copy_selected_links() {
  // Only share addresses: a row without a link would give the bare prefix, which is no link.
  copy_selected(
      [](const LinkTable& table, int r) {
        std::string url = share_url_of_row(table.cell(r, kColumnLink), table.cell(r, kColumnName));
        return is_share_url(url) ? url : std::string();
      },
      false);
}

void MainPresenter::copy_selected_codes() {
  copy_selected([](const LinkTable& table, int r) { return table.cell(r, kColumnCode); }, false);
}

void MainPresenter::delete_selected_rows() {
  const std::vector<int> rows = view_.selected_rows();
  if (rows.empty()) return;
  if (session_->remove_rows(rows) < 0) notice(msg::kBusyDelete);
}

void MainPresenter::remove_repeat_rows() {
  const std::vector<int> repeats = session_->repeat_rows();
  notice(msg::duplicates_removed(repeats.empty() ? 0 : session_->remove_rows(repeats)));
}

}  // namespace quorvex
