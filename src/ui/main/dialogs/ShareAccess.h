#pragma once
// The share-access dialog's entry point: the hosted copy of one record's minutes, as the user
// currently sees them (task edits applied).
#include <string>

struct MinutesResult;
struct UiContext;
class QWidget;

void openShareAccess(UiContext& ctx, const MinutesResult& minutes, const std::string& recordID,
                     QWidget* parent);
