// A total that only grows, fed with a counter that may be zeroed meanwhile (the panel's Zero):
// a value below the last one counts on from 0.
#pragma once

struct RunningTotal {
    double total = 0;
    void Take(double counter) {
        if (seen_)
            total += counter >= last_ ? counter - last_ : counter;
        seen_ = true;
        last_ = counter;
    }
    // The first value taken is the start; From(c) starts at c instead.
    void Restart() { *this = {}; }
    static RunningTotal From(double counter) {
        RunningTotal t;
        t.Take(counter);
        return t;
    }

private:
    double last_ = 0;
    bool seen_ = false;
};
