// The field definitions that every converted address file gets.
#pragma once
#include <cstdint>

class RecordTable;

const int32_t kCurrentFieldCount = 60;

// Gives the table the current layout; its records are discarded.
void BuildCurrentLayout(RecordTable* table);
