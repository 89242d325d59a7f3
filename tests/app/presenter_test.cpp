// The window's behaviour without a toolkit: the presenter driven through a fake view.
#include "app/main_presenter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/messages.h"
#include "base/charset.h"
#include "shell/settings.h"
#include "support/fake_view.h"
#include "support/scratch_dir.h"
#include "support/share_service.h"
#include "support/utf8_path.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;
using test::FakeView;
using test::utf8_name;

std::string read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_all(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class PresenterTest : public ::testing::Test {
 protected:
  test::ScratchDir dir;
  FakeView view;

  AppPlaces places() const {
    return {utf8_name(dir / "Documents"), utf8_name(dir / "Desktop"), utf8_name(dir / "Data"),
            utf8_name(dir.path())};
  }
  std::unique_ptr<MainPresenter> make(CheckRunConfig runs = {}) {
    std::filesystem::create_directories(dir / "Documents");
    std::filesystem::create_directories(dir / "Desktop");
    auto app = std::make_unique<MainPresenter>(view, places(), std::move(runs));
    view.list_rows = [table = app->session()->table()] { return table->row_count(); };
    app->start();
    view.pump();
    return app;
  }
  // Checks reach the stand-in share service.
  std::unique_ptr<MainPresenter> make_for(const test::ShareService& service) {
    CheckRunConfig runs;
    runs.probe.ca_file = test::test_ca_file();
    runs.probe.connect_to = {service.connect_to()};
    runs.probe.retry_delay = 20ms;
    return make(std::move(runs));
  }
  // Runs the text jobs and waits for the loads they start.
  void settle(MainPresenter& app) {
    view.pump();
    app.session()->wait_for_loads();
    app.tick();
  }
  void load(MainPresenter& app, const std::string& utf8_text) {
    app.load_text(utf8_text);
    settle(app);
  }
};

TEST_F(PresenterTest, DroppedFilesLoadAsOneTextAndARefusalLeavesTheListAlone) {
  auto app = make();
  write_all(dir / "a.txt", "one https://pan.baidu.com/s/1a\r\n");
  write_all(dir / "b.txt", "two https://pan.baidu.com/s/1b");
  std::vector<std::string> refused;
  app->on_file_refused = [&](const std::string& m) { refused.push_back(m); };
  app->load_dropped_files({utf8_name(dir / "a.txt"), utf8_name(dir / "b.txt")});
  settle(*app);
  const auto& table = *app->session()->table();
  ASSERT_EQ(table.row_count(), 2);
  EXPECT_EQ(table.cell(0, kColumnName), "one");
  EXPECT_EQ(table.cell(1, kColumnName), "two");
  EXPECT_TRUE(contains(view.status, "共 2 行"));

  // A folder and a missing file are said, naming them; the list stays.
  app->load_dropped_files({utf8_name(dir / "Desktop")});
  app->load_dropped_files({utf8_name(dir / "missing.txt")});
  settle(*app);
  ASSERT_EQ(refused.size(), 2u);
  EXPECT_TRUE(contains(refused[0], "文件夹"));
  EXPECT_TRUE(contains(refused[0], utf8_name(dir / "Desktop")));
  EXPECT_TRUE(contains(refused[1], "missing.txt"));
  EXPECT_EQ(view.messages.back().caption, msg::kFileTitle);
  EXPECT_EQ(table.row_count(), 2);
}

TEST_F(PresenterTest, AReloadWaitsForTheExtractionBeforeIt) {
  auto app = make();
  std::vector<std::size_t> extracted;
  app->on_links_extracted = [&](std::size_t n) { extracted.push_back(n); };
  load(*app,
       "post one\nhttps://pan.baidu.com/s/1aaa 提取码: abcd\nchatter\n"
       "post two https://pan.baidu.com/s/1bbb\n");
  // Asked for before the extraction has run: the reload loads what the extraction makes.
  app->extract_links();
  app->reload_list();
  settle(*app);
  ASSERT_EQ(extracted, std::vector<std::size_t>{2});
  EXPECT_EQ(view.messages.back().text, msg::shares_extracted(2));
  const auto& table = *app->session()->table();
  ASSERT_EQ(table.row_count(), 2);
  EXPECT_EQ(table.cell(0, kColumnLink), "https://pan.baidu.com/s/1aaa");
  EXPECT_EQ(table.cell(0, kColumnCode), "abcd");

  // Nothing to extract: the text stays as it was.
  load(*app, "no links at all\n");
  app->extract_links();
  settle(*app);
  EXPECT_EQ(extracted.back(), 0u);
  EXPECT_EQ(view.messages.back().text, msg::kNoSharesFound);
  EXPECT_EQ(*app->session()->source_text(), "no links at all\r\n");
}

TEST_F(PresenterTest, SettingsAreShownAsSavedAndAnUnusableThreadCountIsSaid) {
  {
    auto app = make();
    app->save_thread_count("7");
    app->next_theme();
    app->toggle_single_column_mode();
    EXPECT_EQ(view.theme_caption, "主题:1");
  }
  FakeView second;
  std::swap(view.messages, second.messages);
  auto app = std::make_unique<MainPresenter>(second, places(), CheckRunConfig{});
  app->start();
  EXPECT_EQ(second.thread_count, "7");
  EXPECT_EQ(second.theme, 1);
  EXPECT_TRUE(second.single_column);
  EXPECT_EQ(app->session()->thread_limit(), 7);
  // Single-column mode shows the name, status and done columns only.
  app->list_resized(460);
  EXPECT_EQ(second.columns, (std::array<int, 6>{360, 0, 0, 40, 40, 0}));

  app->load_text("one https://pan.baidu.com/s/1a\n");
  second.pump();
  app->session()->wait_for_loads();
  app->save_thread_count("zero");
  EXPECT_EQ(read_settings(app->settings_file()).thread_count, std::string("zero"));
  app->start_check_run();
  EXPECT_TRUE(second.pointed_at_thread_count);
  ASSERT_FALSE(second.messages.empty());
  EXPECT_TRUE(second.messages.back().warning);
  EXPECT_EQ(second.messages.back().text, msg::kThreadCountFirst);
  EXPECT_EQ(app->session()->run()->snapshot().state, RunState::idle);
}

TEST_F(PresenterTest, ASettingsFileThatCannotBeWrittenIsSaidOnce) {
  // The settings folder cannot be made where a file stands.
  write_all(dir / "Documents", "not a folder");
  auto app = std::make_unique<MainPresenter>(view, places(), CheckRunConfig{});
  app->start();
  app->save_thread_count("3");
  app->save_thread_count("4");
  app->next_theme();
  int told = 0;
  for (const auto& m : view.messages) told += m.caption == msg::kSettingsTitle;
  EXPECT_EQ(told, 1);
  EXPECT_EQ(app->session()->thread_limit(), 4);  // the run still takes the number
}

TEST_F(PresenterTest, TheStatusLineAndSummaryCountRowsWithoutAShareLinkApart) {
  test::ShareService service;
  auto app = make_for(service);
  load(*app,
       "a https://pan.baidu.com/s/1public\nb https://pan.baidu.com/s/1deleted\n"
       "c no link here\n");
  app->start_check_run();
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (app->session()->run()->snapshot().active() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  app->tick();
  // Every row is counted once: 1 + 1 + 0 + 1.
  EXPECT_EQ(view.status, "共 3 行　完成 3/3　有效 1　失效 1　未确定 0　不是分享链接 1");
  EXPECT_EQ(view.title, "Quorvex2.0  100%");
  app->show_summary();
  EXPECT_TRUE(contains(view.messages.back().text, "有效网址:1"));
  EXPECT_TRUE(contains(view.messages.back().text, "不是分享链接:1"));
  view.shown = 1;  // a filter shows one of them
  app->tick();
  EXPECT_TRUE(contains(view.status, "共 3 行（显示 1 行）"));
}

TEST_F(PresenterTest, ExportGoesToTheDesktopElseToAChosenFileNeverOverAnother) {
  auto app = make();
  load(*app, "n1 https://pan.baidu.com/s/1good\nn2 https://pan.baidu.com/s/1bad\n");
  auto& table = *app->session()->table();
  table.set_verdict_if(table.generation(), 0, {Verdict::valid, Reason::public_share});
  table.set_verdict_if(table.generation(), 1, {Verdict::invalid, Reason::deleted});

  view.open_folder_after_export = true;
  app->export_valid_links();
  ASSERT_EQ(view.exported_notices.size(), 1u);
  const std::string written = read_all(test::utf8_path(view.exported_notices[0]));
  EXPECT_TRUE(contains(written, "https://pan.baidu.com/s/1good"));
  EXPECT_FALSE(contains(written, "1bad"));
  ASSERT_EQ(view.opened.size(), 1u);
  EXPECT_EQ(view.opened[0], "folder:" + utf8_name(dir / "Desktop"));

  // No desktop: the user is asked; a file already there is kept and the user asked again.
  view.open_folder_after_export = false;
  std::filesystem::remove_all(dir / "Desktop");
  write_all(dir / "taken.txt", "keep");
  view.export_choices = {{utf8_name(dir / "taken.txt"), false},
                         {utf8_name(dir / "fresh.txt"), true}};
  app->export_valid_links();
  EXPECT_EQ(read_all(dir / "taken.txt"), "keep");
  ASSERT_EQ(view.export_suggestions.size(), 2u);
  EXPECT_EQ(view.export_suggestions[0], utf8_name(dir.path()) + "/有效链接.txt");
  EXPECT_TRUE(contains(view.messages.back().text, msg::kExportWouldOverwrite));
  EXPECT_TRUE(contains(read_all(dir / "fresh.txt"), "链接：https://pan.baidu.com/s/1good"));

  // Giving up is said, with why the desktop would not do.
  app->export_valid_links();
  EXPECT_TRUE(contains(view.messages.back().text, "桌面文件夹不存在"));
  EXPECT_TRUE(contains(view.messages.back().text, "有效链接没有导出"));
}

TEST_F(PresenterTest, TheListMenuActsOnTheSelectedRows) {
  auto app = make();
  load(*app,
       "first https://pan.baidu.com/s/1a 提取码：ab12\nsecond https://pan.baidu.com/s/1b\n"
       "again https://pan.baidu.com/s/1a\nplain\n");
  int needing_selection = 0;
  for (const auto& entry : list_menu_entries()) {
    if (entry.command == ListCommand::separator) continue;
    EXPECT_EQ(entry_enabled(entry, false), !entry.needs_selection) << entry.caption;
    EXPECT_TRUE(entry_enabled(entry, true));
    needing_selection += entry.needs_selection;
  }
  EXPECT_EQ(needing_selection, 6);

  view.selection = {0, 1, 3};
  app->run(ListCommand::copy_links);
  app->run(ListCommand::copy_codes);
  app->run(ListCommand::copy_rows);
  ASSERT_EQ(view.clipboard.size(), 3u);
  EXPECT_EQ(view.clipboard[0], "https://pan.baidu.com/s/1a\nhttps://pan.baidu.com/s/1b");
  EXPECT_EQ(view.clipboard[1], "ab12");
  // The rows copied load back into the same rows.
  load(*app, view.clipboard[2]);
  const auto& table = *app->session()->table();
  ASSERT_EQ(table.row_count(), 3);
  EXPECT_EQ(table.cell(0, kColumnLink), "https://pan.baidu.com/s/1a");
  EXPECT_EQ(table.cell(0, kColumnCode), "ab12");
  EXPECT_EQ(table.cell(2, kColumnName), "plain");

  // Nothing selected copies nothing.
  view.selection.clear();
  app->run(ListCommand::copy_links);
  EXPECT_EQ(view.clipboard.size(), 3u);
}

TEST_F(PresenterTest, RepeatsAreTakenOutAndTheCountSaid) {
  auto app = make();
  load(*app,
       "a https://pan.baidu.com/s/1a\nb https://pan.baidu.com/s/1a\n"
       "c https://pan.baidu.com/s/1c\n");
  app->run(ListCommand::remove_repeats);
  settle(*app);
  EXPECT_EQ(view.messages.back().text, "已删除 1 个重复的行。");
  EXPECT_EQ(app->session()->table()->row_count(), 2);
  app->run(ListCommand::remove_repeats);
  EXPECT_EQ(view.messages.back().text, "没有重复的分享链接。");
}

TEST_F(PresenterTest, APastedFileNameLoadsTheFileAndOtherTextItself) {
  auto app = make();
  write_all(dir / "list.txt", "fromfile https://pan.baidu.com/s/1f\r\n");
  app->paste({}, "  " + utf8_name(dir / "list.txt") + "\n");
  settle(*app);
  EXPECT_EQ(app->session()->table()->cell(0, kColumnName), "fromfile");
  app->paste({}, utf8_name(dir / "list.txt") + "\nsecond line");
  settle(*app);
  EXPECT_EQ(app->session()->table()->row_count(), 2);
  app->paste({utf8_name(dir / "list.txt")}, "ignored when files come");
  settle(*app);
  EXPECT_EQ(app->session()->table()->cell(0, kColumnName), "fromfile");
}

TEST_F(PresenterTest, ARowOpensOnlyAShareAddress) {
  auto app = make();
  load(*app, "good https://pan.baidu.com/s/1ok 提取码：zz99\nbad https://evil.example/pan\n");
  view.selection = {0};
  app->open_row_link();
  ASSERT_EQ(view.opened.size(), 1u);
  EXPECT_EQ(view.opened[0], "https://pan.baidu.com/s/1ok?pwd=zz99");
  EXPECT_EQ(view.clipboard.back(), "zz99");
  view.selection = {1};
  app->open_row_link();
  EXPECT_EQ(view.opened.size(), 1u);
  EXPECT_EQ(view.messages.back().caption, msg::kNotShareTitle);
  // A browser that cannot be started is said.
  view.open_works = false;
  app->show_about();
  EXPECT_EQ(view.messages.back().caption, msg::kCannotOpenTitle);
}

TEST_F(PresenterTest, TheStoreIsTheOneTheCommandLineUses) {
  auto app = make();
  EXPECT_TRUE(std::filesystem::exists(dir / "Data" / "verdicts.sqlite"));
  EXPECT_EQ(AppPlaces::standard().data, default_store_folder());
}

TEST_F(PresenterTest, AForumTextIsToldToBeExtractedAndOneClickMakesItAList) {
  auto app = make();
  const std::string forum =
      "【合集】纪录片 Japan 4K\n链接：https://pan.baidu.com/s/1kVfX2cQ 提取码：x7k2\n"
      "--来自百度网盘超级会员v5的分享\n熊猫 panda 摄影集\npan.baidu.com/s/1ZxCvBnM?pwd=p4nd\n"
      "Spanish 课程 https://pan.baidu.com/s/1Qw3Ert5 密码: 8fj3\n";
  load(*app, forum);
  view.pump();
  EXPECT_EQ(view.hint, "这段文本不是一行一个链接，找到 3 个分享链接：点「提取链接」整理后再检测");
  // Checking it as it is stays the user's choice; the way out stays in view.
  app->press(kExtractButton);
  settle(*app);
  view.pump();
  EXPECT_EQ(view.hint, "");
  const LinkTable& table = *app->session()->table();
  ASSERT_EQ(table.row_count(), 3);
  EXPECT_EQ(table.cell(0, kColumnLink), "https://pan.baidu.com/s/1kVfX2cQ");
  EXPECT_EQ(table.cell(0, kColumnCode), "x7k2");
  EXPECT_EQ(table.cell(1, kColumnCode), "p4nd");
  EXPECT_EQ(table.cell(2, kColumnCode), "8fj3");
  EXPECT_EQ(view.messages.back().text, "提取完成，共 3 个分享链接，列表已刷新");

  // A list of links says nothing, nor does a text without a share.
  load(*app, "以下是资源\na https://pan.baidu.com/s/1a\n");
  view.pump();
  EXPECT_NE(view.hint, "");
  load(*app, "a https://pan.baidu.com/s/1a\nb https://pan.baidu.com/s/1b\n");
  view.pump();
  EXPECT_EQ(view.hint, "");
  load(*app, "just words\nmore words\n");
  view.pump();
  EXPECT_EQ(view.hint, "");
}

TEST_F(PresenterTest, TheCheckButtonStopsThenCancelsAndTheEndIsSaid) {
  test::ShareService service;
  auto app = make_for(service);
  app->save_thread_count("1");
  std::string text;
  for (int i = 0; i < 8; ++i)
    text += "n" + std::to_string(i) + " " + test::ShareService::link("slow-" + std::to_string(i)) +
            "\n";
  load(*app, text);
  app->press(kCheckButton);
  EXPECT_EQ(view.captions[kCheckButton], msg::kStopCheck);
  app->tick();
  EXPECT_EQ(view.progress.second, 8);
  while (app->session()->run()->snapshot().running == 0) std::this_thread::sleep_for(5ms);
  app->press(kCheckButton);  // stop: the probe under way may finish
  EXPECT_TRUE(app->session()->run()->snapshot().draining);
  EXPECT_TRUE(contains(view.status, "正在停止")) << view.status;
  app->press(kCheckButton);  // cancel it too
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (app->session()->run()->snapshot().active() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  app->tick();
  EXPECT_LT(service.requests().size(), 3u);
  EXPECT_EQ(view.captions[kCheckButton], msg::kStartCheck);
  ASSERT_FALSE(view.messages.empty());
  EXPECT_EQ(view.messages.back().caption, msg::kRunStoppedCaption);
  EXPECT_TRUE(contains(view.messages.back().text, "未检测 8")) << view.messages.back().text;
  // The summary covers what was decided: nothing.
  app->show_summary();
  EXPECT_TRUE(contains(view.messages.back().text, ":0")) << view.messages.back().text;

  // Esc (stop_check_run) does nothing while no run works; an empty list has nothing to check.
  app->stop_check_run();
  load(*app, "");
  app->press(kCheckButton);
  EXPECT_EQ(view.messages.back().text, msg::kNothingToCheck);
  EXPECT_EQ(app->session()->run()->snapshot().state, RunState::idle);
}

TEST_F(PresenterTest, ARunThatEndsBeforeATickIsSaidAndANewListClearsThePercentage) {
  test::ShareService service;
  auto app = make_for(service);
  load(*app, "no link here\nnor here\n");
  app->start_check_run();  // rows without a share end at once
  app->session()->run()->wait(std::chrono::steady_clock::now() + 5s);
  app->tick();
  ASSERT_FALSE(view.messages.empty());
  EXPECT_EQ(view.messages.back().caption, msg::kRunDoneCaption);
  EXPECT_EQ(view.messages.back().text.rfind("检测完成：有效 0，失效 0，未确定 0（用时 0:0", 0), 0u)
      << view.messages.back().text;
  EXPECT_EQ(view.title, "Quorvex2.0  100%");
  EXPECT_EQ(view.progress, (std::pair<int, int>{2, 2}));
  load(*app, "a https://pan.baidu.com/s/1a\n");
  EXPECT_EQ(view.title, "Quorvex2.0  ");
  EXPECT_EQ(view.progress, (std::pair<int, int>{0, 0}));
}

TEST(Messages, ANarrowStatusLineDropsWholePartsTheLeastUsefulFirst) {
  RunSnapshot run;
  run.state = RunState::cooling_down;
  run.total = 120;
  run.finished = 52;
  run.valid = 32;
  run.invalid = 9;
  run.unknown = 4;
  run.not_share_link = 7;
  run.repeats = 2;
  const auto parts = msg::status_parts(120, 120, run, 12.5, "1:40", 37);
  const auto width = [](const std::string& t) { return static_cast<int>(t.size()); };
  const std::string full = fitted_line(parts, 100000, width, msg::kStatusSeparator);
  EXPECT_EQ(full,
            "共 120 行　完成 52/120　有效 32　失效 9　未确定 4　不是分享链接 7　其中重复 2　"
            "12 个/秒　剩余 1:40　服务限流，约 37 秒后继续");
  // Narrower: the rate goes first, then the time left and the repeats; the counts and the
  // throttling stay, whole.
  const std::string narrow =
      fitted_line(parts, static_cast<int>(full.size()) - 10, width, msg::kStatusSeparator);
  EXPECT_EQ(narrow.find("个/秒"), std::string::npos);
  EXPECT_NE(narrow.find("剩余 1:40"), std::string::npos);
  const std::string narrower = fitted_line(parts, 150, width, msg::kStatusSeparator);
  for (const char* kept : {"有效 32", "失效 9", "未确定 4", "约 37 秒"})
    EXPECT_NE(narrower.find(kept), std::string::npos) << narrower;
  EXPECT_EQ(narrower.find("剩余"), std::string::npos);
  EXPECT_LE(static_cast<int>(narrower.size()), 150);
  // Never below one part, however narrow.
  EXPECT_FALSE(fitted_line(parts, 1, width, msg::kStatusSeparator).empty());
}

TEST(Layout, ControlsKeepTheirDesignPlacesAndTheWindowStaysOnItsScreen) {
  const MainLayout design = main_layout(kDesignWidth, kDesignHeight, 80, 16);
  EXPECT_EQ(design.list, (Rect{-1, 0, 460, 578}));
  EXPECT_EQ(design.group, (Rect{460, 8, 120, 568}));
  EXPECT_EQ(design.credit.y, 529);
  EXPECT_EQ(design.status, (Rect{0, 578, 582, 22}));
  for (int i = 0; i < kGroupControlCount; ++i)
    EXPECT_EQ(design.controls[i], kGroupControls[i].rect);
  // A low window moves the credit up, never onto the buttons; the lowest has no room for it, and
  // its buttons move closer together, all inside the group.
  const MainLayout low = main_layout(kDesignWidth, 390, 80, 16);
  EXPECT_EQ(low.credit.y, kGroupControls[kExtractButton].rect.y + 24 + 6);
  const MainLayout lowest = main_layout(kDesignWidth, kMinHeight, 80, 16);
  EXPECT_EQ(lowest.credit.width, 0);
  EXPECT_LE(lowest.controls[kExtractButton].y + 24, lowest.group.height - 4);
  EXPECT_GT(lowest.controls[kExtractButton].y, lowest.controls[kExportButton].y + 24);
  // The hint line takes the list's top, not its width.
  const MainLayout hinted = main_layout(kDesignWidth, kDesignHeight, 80, 16, true);
  EXPECT_EQ(hinted.hint, (Rect{0, 0, 459, kHintHeight}));
  EXPECT_EQ(hinted.list, (Rect{-1, kHintHeight, 460, 578 - kHintHeight}));

  WindowPlacement saved;
  saved.position = std::array<int, 2>{3000, -50};
  saved.size = std::array<int, 2>{2000, 1000};
  const Rect r = restored_frame(saved, {50, 50, 582, 600}, Rect{0, 0, 1366, 768});
  EXPECT_EQ(r.width, 1366);
  EXPECT_EQ(r.height, 768 - 32);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  // Never below the minimum, whatever the screen.
  const Rect tiny = restored_frame(saved, {}, Rect{0, 0, 200, 200});
  EXPECT_EQ(tiny.width, kMinWidth);
  EXPECT_EQ(tiny.height, kMinHeight);

  // The design widths at the design size; beyond it names and links widen, and the reason shows
  // once there is room for it.
  EXPECT_EQ(column_widths(kDesignColumns, false, kDesignListWidth),
            (ShownColumns{100, 220, 40, 40, 40, 0}));
  EXPECT_EQ(column_widths(kDesignColumns, false, 560), (ShownColumns{140, 280, 40, 40, 40, 0}));
  EXPECT_EQ(column_widths(kDesignColumns, false, 760),
            (ShownColumns{172, 328, 40, 40, 40, kReasonColumnWidth}));
  // A column the user widens is kept at the design width; its share of the extra room is not.
  ColumnWidths widths = kDesignColumns;
  EXPECT_TRUE(keep_column_width(widths, false, 560, 0, 250));
  EXPECT_EQ(widths[0], 210);
  EXPECT_EQ(column_widths(widths, false, 560)[0], 250);
  EXPECT_TRUE(keep_column_width(widths, false, 760, 1, 400));
  EXPECT_EQ(widths[1], 292);
  EXPECT_FALSE(keep_column_width(widths, true, 560, 1, 10));
  EXPECT_FALSE(keep_column_width(widths, false, 760, kReasonColumn, 10));
}

TEST(Messages, FillPutsEachArgumentInItsPlace) {
  EXPECT_EQ(msg::fill("%2-%1-%2 %3", {"a", "b"}), "b-a-b %3");
  EXPECT_EQ(msg::fill("100%", {}), "100%");
}

}  // namespace
}  // namespace quorvex
