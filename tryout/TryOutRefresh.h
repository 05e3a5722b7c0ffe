// What the entry form needs from the list that opened it: a reload after each save.
#pragma once

// The register list implements this next to its base form; its LoadData override serves both
// (same signature), so the entry form reloads exactly the list that opened it.
class TTryOutRefresh {
public:
    virtual ~TTryOutRefresh() = default;
    virtual void LoadData() = 0;
};
