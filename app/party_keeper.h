#pragma once
// Keeps the night in the user's data folder: a party the last run left is offered at start, and
// every change is saved, at most once a second, so a close or a crash loses nothing.
#include <QObject>
#include <QTimer>
#include <filesystem>

#include "session/party_file.h"

namespace app {

class TForm1;

class PartyKeeper : public QObject {
public:
    // Holds `folder` for the whole run; another program running meanwhile neither saves nor offers.
    PartyKeeper(TForm1& form, std::filesystem::path folder);
    ~PartyKeeper() override;

    // Once the window shows: an unreadable party is told of and set aside; a readable one with a
    // queue is offered (Resume / New Party). From then on every change is saved.
    void Start();
    // Saves now what waits (the program closes).
    void Flush();

private:
    bool Save();

    TForm1& form_;
    session::PartyFile file_;
    QTimer timer_;
    session::SaveDebouncer saver_;
    bool started_ = false;
    bool failing_ = false;  // the last save failed and was told: told once until one works
};

}  // namespace app
