#pragma once

#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <thread>
#include <vector>

// Strings met during a parse and decoded from UTF-8 on a second thread
// while the parse goes on; what is left when it ends is shared out between
// both threads. A large diary's entries are most of its reading.
class DeferredStrings
{
public:
    // Room for `most` strings: never more are added, so that the list never
    // moves while the thread reads it.
    explicit DeferredStrings(size_t most);
    // Stops the thread, also when the parse ends by an exception.
    ~DeferredStrings();
    DeferredStrings(const DeferredStrings&) = delete;
    DeferredStrings& operator=(const DeferredStrings&) = delete;

    // Adds a string, whose bytes stay where they are until finish(), found
    // on `line`; returns its index.
    qsizetype add(QByteArrayView bytes, int line);
    // Decodes what is left and takes every text, by index, into `out`;
    // returns the line of the first string that is no UTF-8, or 0.
    int finish(std::vector<QString>& out);

private:
    struct Item
    {
        QByteArrayView bytes;
        int line = 0;
        QString text;
        bool decoded = false;
    };

    // Decodes the items added and not yet taken, one at a time, until all
    // are taken and no more will come.
    void drain();

    std::vector<Item> mItems;
    Item* mFirst = nullptr;
    // Items added, and items taken by one of the threads to be decoded.
    std::atomic<size_t> mAdded = 0;
    std::atomic<size_t> mTaken = 0;
    std::atomic<bool> mComplete = false;
    std::atomic<bool> mStop = false;
    std::thread mThread;
};
