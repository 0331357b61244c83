#pragma once

#include "archive/library/libraryobject.h"
#include "archive/outcome.h"
#include "win/comptr.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A pipe between two handlers of the library on two threads: one unpacks a compressed
// file into it, the other reads what comes out as its archive (the tar of a .tar.gz),
// through a buffer of fixed size, so that neither the tar nor any part of it larger than
// the buffer is ever held.
class StreamPipe {
  public:
    explicit StreamPipe(size_t capacity = 4 << 20);

    // The writer's side: waits while the buffer is full; E_ABORT once the reader is gone.
    HRESULT Write(const void* data, UINT32 size, UINT32* processedSize);
    // No more is written: the reader then reads the rest and an end.
    void EndWriting();
    // The reader's side: waits while the buffer is empty; 0 bytes at the end.
    HRESULT Read(void* data, UINT32 size, UINT32* processedSize);
    // No more is read: the writer stops.
    void EndReading();

    // How the writing ended: the library's result for the item written (a
    // sevenzip::OperationResult), and what its Extract returned.
    void SetWritingResult(int32_t operationResult);
    void SetExtractResult(HRESULT result);
    int32_t writingResult() const { return writingResult_; }
    HRESULT extractResult() const { return extractResult_; }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<char> buffer_;
    size_t start_ = 0;
    size_t filled_ = 0;
    // What a side waits for (bytes to read, room to write); 0 while it does not wait.
    size_t readerWants_ = 0;
    size_t writerWants_ = 0;
    bool writingEnded_ = false;
    bool readingEnded_ = false;
    std::atomic<int32_t> writingResult_{0};
    std::atomic<HRESULT> extractResult_{S_OK};
};

// The one item of a compressed file unpacked into a pipe on a thread of its own, for as
// long as this object lives; the pipe's reading end is `Stream()`.
class StreamFeeder {
  public:
    explicit StreamFeeder(sevenzip::IInArchive* archive);
    ~StreamFeeder();
    StreamFeeder(const StreamFeeder&) = delete;
    StreamFeeder& operator=(const StreamFeeder&) = delete;

    // The reading end: hand it to the handler of the archive inside, then Start.
    sevenzip::ISequentialInStream* Stream() const { return reader_.get(); }
    void Start();
    // Once the archive inside has been read: reads what is left of the compressed file
    // (the archive inside may end before it does, a tar before its padding) so that its
    // own check is made, and waits for the unpacking to end. The compressed file's fault
    // (a CRC error, data cut short), or Fault::None when it is whole or the reading was
    // cancelled.
    Fault Finish(const std::atomic<int32_t>* cancelled);

  private:
    win::ComPtr<sevenzip::IInArchive> archive_;
    std::shared_ptr<StreamPipe> pipe_;
    win::ComPtr<sevenzip::ISequentialInStream> reader_;
    std::thread thread_;
};
