// The editable numbers of a tone record as a list of rows: which rows exist,
// their texts, the steps and the parsing of typed text. Holds no state of its
// own; a list control stores only the RowId of each row and formats every text
// from the record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tone/tone_settings.h"

namespace zelvaro {

// Field kind × 256 + tone index (0 to 15); the duration row is 1536 exactly.
using RowId = uint32_t;

enum RowKind : uint32_t {
    kRowStartLeft = 1,
    kRowStartRight = 2,
    kRowEndLeft = 3,
    kRowEndRight = 4,
    kRowAmplitude = 5,
    kRowDuration = 6,
};

constexpr RowId makeRowId(RowKind kind, int toneIndex) {
    return static_cast<RowId>(kind) * 256u + static_cast<RowId>(toneIndex);
}
constexpr RowId kDurationRow = makeRowId(kRowDuration, 0);

enum class Step { StepUp, StepDown, BigStepUp, BigStepDown };

// True for the identifiers of real record fields; every other RowId gets empty
// texts and is left alone by steps and edits.
bool isValidRowId(RowId row);

// The rows of the record, in list order.
std::vector<RowId> valueRows(const ToneSettings& tone);

std::string rowLabel(const ToneSettings& tone, RowId row);
std::string rowValueText(const ToneSettings& tone, RowId row);

// Applies one step to the row's field, within the field's limits.
void applyStep(ToneSettings& tone, RowId row, Step step);

// Turns text typed for the row into the row's field.
void parseRowText(ToneSettings& tone, RowId row, const std::string& text);

// Called after a row's field changed, so a list can rewrite that row's value text.
using RowChanged = std::function<void(RowId)>;

// Steps every selected row, in the order given.
void stepSelected(ToneSettings& tone, const std::vector<RowId>& selected, Step step,
                  const RowChanged& rowChanged = nullptr);

// The one-line edit dialog: shown with `caption` and `initialText`; returns true
// and fills `typed` on OK, false on anything else.
using EditDialog =
    std::function<bool(const std::string& caption, const std::string& initialText, std::string& typed)>;

// Opens the dialog for every selected row in turn and parses what was typed;
// the first dialog not ended with OK stops the edit, leaving the remaining rows
// alone. Returns true when at least one dialog ended with OK.
bool editSelected(ToneSettings& tone, const std::vector<RowId>& selected, const EditDialog& dialog,
                  const RowChanged& rowChanged = nullptr);

}  // namespace zelvaro
