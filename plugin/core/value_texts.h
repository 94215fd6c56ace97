// The editor's texts of parameter values ("0.63 Hz", "-4.88 dB", "Saw up"), for its hover
// and click pop-ups. Hosts never see them.
#pragma once

#include <cstddef>

#include "core/program_record.h"

// The text of the value stored for index in record (other stored values decide some
// texts: the LFO and delay syncs, the arpeggiator sync); "" for parameters without a text.
// At most size - 1 characters whatever the value (NaN, huge, negative); numbers always
// with a point as decimal separator.
void formatValueText(const ProgramRecord& record, int index, char* out, size_t size);
