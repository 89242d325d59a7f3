#include "window/themes.h"

#include <utility>

namespace quorvex {

QString theme_style_sheet(int n) {
  const Palette* p = theme_palette(n);
  if (!p) return {};
  QString sheet = QStringLiteral(R"(
QWidget#mainWindow { background: {window}; color: {text}; }
QTreeView { background: {surface}; alternate-background-color: {alternate}; color: {text}; border: 1px solid {accent};
            selection-background-color: {selection}; selection-color: {selection_text}; }
QTreeView::item:selected { background: {selection}; color: {selection_text}; }
QHeaderView::section { background: {header}; color: {header_text}; border: none; border-right: 1px solid {accent};
                       border-bottom: 1px solid {accent}; padding: 2px 4px; }
QGroupBox { background: {window}; color: {text}; border: 1px solid {accent}; border-radius: 4px; margin-top: 10px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: {accent}; }
QPushButton { background: {button}; color: {button_text}; border: 1px solid {accent}; border-radius: 3px; }
QPushButton:hover { background: {button_hover}; }
QPushButton:pressed { background: {accent}; color: {selection_text}; }
QCheckBox, QLabel { color: {text}; background: transparent; }
QCheckBox::indicator { width: 12px; height: 12px; border: 1px solid {accent}; background: {surface}; }
QCheckBox::indicator:checked { background: {accent}; }
QLineEdit { background: {surface}; color: {text}; border: 1px solid {accent}; selection-background-color: {selection};
            selection-color: {selection_text}; }
QScrollBar:vertical { background: {window}; width: 12px; }
QScrollBar::handle:vertical { background: {button}; border: 1px solid {accent}; min-height: 20px; }
QScrollBar:horizontal { background: {window}; height: 12px; }
QScrollBar::handle:horizontal { background: {button}; border: 1px solid {accent}; min-width: 20px; }
QMessageBox { background: {window}; }
)");
  const std::pair<const char*, const char*> fills[] = {{"{selection_text}", p->selection_text},
                                                       {"{selection}", p->selection},
                                                       {"{header_text}", p->header_text},
                                                       {"{header}", p->header},
                                                       {"{window}", p->window},
                                                       {"{surface}", p->surface},
                                                       {"{alternate}", p->alternate},
                                                       {"{text}", p->text},
                                                       {"{accent}", p->accent},
                                                       {"{button_text}", p->button_text},
                                                       {"{button_hover}", p->button_hover},
                                                       {"{button}", p->button}};
  for (const auto& [key, value] : fills) sheet.replace(QLatin1String(key), QLatin1String(value));
  return sheet;
}

}  // namespace quorvex
