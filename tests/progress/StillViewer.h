#pragma once
// A viewer whose thread never starts: the test's thread plays the viewer's
// thread and drives it tick by tick, so nothing races with the checks.
#include "progress/ProgressViewer.h"

class TStillViewer : public progress::TProgressViewer {
public:
    TStillViewer(const std::string& caption, bool percentMode, bool showCancel)
        : TProgressViewer(TDetached{}, caption, percentMode, showCancel) {}
};
