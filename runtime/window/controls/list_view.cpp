#include "runtime/window/controls/list_view.h"

#include <algorithm>

namespace rt {

ListView::ListView(ListViewData designValues) : design(std::move(designValues)) {
    columns_ = std::move(design.columns);
    design.columns.clear();
    for (const auto& preset : design.rows) {
        ListViewRow row;
        row.cells.push_back(preset.title);
        row.image = preset.image;
        row.stateImage = preset.stateImage;
        row.indent = preset.indent;
        row.itemData = static_cast<std::int32_t>(preset.itemData);
        rows_.push_back(std::move(row));
    }
    design.rows.clear();
    if (validRow(design.currentRow)) select(design.currentRow);
    design.currentRow = -1;
}

std::int32_t ListView::insertRow(const InsertRowArgs& args) {
    ListViewRow row;
    row.cells.push_back(args.text.value_or(Text{}));
    const std::int32_t image = args.image.value_or(-1);
    row.image = image < -1 ? -1 : image;
    row.stateImage = args.stateImage ? *args.stateImage + 1 : 0;
    row.indent = std::max(0, args.indent.value_or(0));
    row.itemData = args.itemData.value_or(0);

    std::size_t at = rows_.size();
    if (args.position && *args.position >= 0 &&
        static_cast<std::size_t>(*args.position) < rows_.size())
        at = static_cast<std::size_t>(*args.position);
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    const auto index = static_cast<std::int32_t>(at);
    if (marked_ >= index) ++marked_;
    if (shown_ >= index) ++shown_;
    return index;
}

Text ListView::cellText(std::int32_t row, std::int32_t column) const {
    if (!validRow(row) || column < 0) return {};
    const auto& cells = rows_[static_cast<std::size_t>(row)].cells;
    if (static_cast<std::size_t>(column) >= cells.size()) return {};
    return cells[static_cast<std::size_t>(column)];
}

bool ListView::setCellText(std::int32_t row, std::int32_t column, Text text) {
    if (!validRow(row) || column < 0) return false;
    if (column > 0 && static_cast<std::size_t>(column) >= columns_.size()) return false;
    auto& cells = rows_[static_cast<std::size_t>(row)].cells;
    if (cells.size() <= static_cast<std::size_t>(column))
        cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)] = std::move(text);
    return true;
}

bool ListView::setColumnTitle(std::int32_t column, Text title) {
    if (column < 0 || static_cast<std::size_t>(column) >= columns_.size()) return false;
    columns_[static_cast<std::size_t>(column)].title = std::move(title);
    return true;
}

void ListView::selectOnly(std::int32_t row) {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i].selected = static_cast<std::int32_t>(i) == row;
}

bool ListView::focusRow(std::int32_t row) {
    if (focusedRow() == row) return false;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i].focused = static_cast<std::int32_t>(i) == row;
    return true;
}

bool ListView::select(std::int32_t row) {
    if (!validRow(row)) return false;
    if (design.singleSelection != 0)
        selectOnly(row);
    else
        rows_[static_cast<std::size_t>(row)].selected = true;
    return design.selectWithFocus != 0 && focusRow(row);
}

bool ListView::click(std::int32_t row) {
    if (!validRow(row)) {
        selectOnly(-1);
        return false;
    }
    // A row that had lost its selection (the focus stays on it) is the
    // current row again: as much a change as a move of the focus.
    const bool wasSelected = rows_[static_cast<std::size_t>(row)].selected;
    selectOnly(row);
    return focusRow(row) || !wasSelected;
}

bool ListView::moveFocus(std::int32_t delta) {
    if (rows_.empty()) return false;
    const std::int32_t last = static_cast<std::int32_t>(rows_.size()) - 1;
    const std::int32_t from = focusedRow();
    const std::int32_t to = from < 0 ? 0 : std::clamp(from + delta, 0, last);
    selectOnly(to);
    return focusRow(to);
}

bool ListView::moveFocusTo(std::int32_t row) {
    if (rows_.empty()) return false;
    const std::int32_t to = std::clamp(row, 0, static_cast<std::int32_t>(rows_.size()) - 1);
    selectOnly(to);
    return focusRow(to);
}

std::int32_t ListView::currentRow() const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].selected) return static_cast<std::int32_t>(i);
    return -1;
}

std::int32_t ListView::focusedRow() const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].focused) return static_cast<std::int32_t>(i);
    return -1;
}

}  // namespace rt
