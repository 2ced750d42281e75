// Model of a report-style list view: columns, rows, selection and focus.
// Pure state; the runtime raises the list's events from the results.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/values/value.h"
#include "runtime/window/template/type_data.h"

namespace rt {

// Columns are kept as the template describes them (rt::ListColumn).
struct ListViewRow {
    std::vector<Text> cells;  // column 0 first; missing trailing cells are empty
    std::int32_t image = -1;
    std::int32_t stateImage = 0;  // 0 none, else image index + 1
    std::int32_t indent = 0;
    std::int32_t itemData = 0;
    bool selected = false;
    bool focused = false;
};

// Optional arguments of the insert-row command; nullopt = omitted.
struct InsertRowArgs {
    std::optional<std::int32_t> position = std::nullopt;
    std::optional<Text> text = std::nullopt;
    std::optional<std::int32_t> image = std::nullopt;
    std::optional<std::int32_t> stateImage = std::nullopt;
    std::optional<std::int32_t> indent = std::nullopt;
    std::optional<std::int32_t> itemData = std::nullopt;
};

class ListView {
  public:
    ListView() = default;
    // Takes the columns and preset rows out of the design values; a stored
    // current row (property 35) is selected.
    explicit ListView(ListViewData designValues);

    // Design values (fonts, colours, options) apart from columns, rows and the
    // current row; singleSelection (16) and selectWithFocus (34) are live.
    ListViewData design;

    const std::vector<ListColumn>& columns() const { return columns_; }
    const std::vector<ListViewRow>& rows() const { return rows_; }
    void addColumn(ListColumn column) { columns_.push_back(std::move(column)); }

    // Returns the new row's index; an omitted, negative or too large position
    // appends. A marked row moves down with rows inserted at or before it.
    std::int32_t insertRow(const InsertRowArgs& args);
    void deleteAllRows() {
        rows_.clear();
        marked_ = -1;
        shown_ = -1;
    }

    // The whole text of (row, column); empty for a missing row or column.
    Text cellText(std::int32_t row, std::int32_t column) const;
    // False for a missing row, or a column beyond the columns (column 0 always
    // exists as the row's own text).
    bool setCellText(std::int32_t row, std::int32_t column, Text text);
    // False for a missing column.
    bool setColumnTitle(std::int32_t column, Text title);

    // Program selection: selected state, plus the focus when selectWithFocus
    // is on. Returns true when a row newly gained the focus.
    bool select(std::int32_t row);
    // User click: a row becomes the only selected one and the focused one; a
    // click below the rows clears the selection. True when the focus moved or
    // the row was not selected before.
    bool click(std::int32_t row);
    // Arrow and page keys: moves the focus (and the selection) by delta rows,
    // clamped; from no focus to row 0. True when the focus moved.
    bool moveFocus(std::int32_t delta);
    // Home and End: focus and selection to `row`, clamped into the rows.
    bool moveFocusTo(std::int32_t row);

    // A display mark on one row (shown emphasised; no selection or event).
    // -1 or a missing row clears it.
    void setMarkedRow(std::int32_t row) { marked_ = validRow(row) ? row : -1; }
    std::int32_t markedRow() const { return marked_; }
    // The row last asked to be scrolled into view (-1 none), for the display.
    void setShownRow(std::int32_t row) { shown_ = validRow(row) ? row : -1; }
    std::int32_t shownRow() const { return shown_; }

    std::int32_t currentRow() const;  // first selected row, -1 if none
    std::int32_t focusedRow() const;  // -1 if none

    // Report-view geometry used to place and hit-test rows, in pixels.
    static constexpr std::int32_t kHeaderHeight = 24;
    static constexpr std::int32_t kRowHeight = 18;

  private:
    bool validRow(std::int32_t row) const {
        return row >= 0 && static_cast<std::size_t>(row) < rows_.size();
    }
    bool focusRow(std::int32_t row);
    void selectOnly(std::int32_t row);

    std::vector<ListColumn> columns_;
    std::vector<ListViewRow> rows_;
    std::int32_t marked_ = -1;
    std::int32_t shown_ = -1;
};

}  // namespace rt
