#include "archive/library/streampipe.h"

#include <algorithm>
#include <cstring>

using namespace sevenzip;

StreamPipe::StreamPipe(size_t capacity) : buffer_(capacity) {}

HRESULT StreamPipe::Write(const void* data, UINT32 size, UINT32* processedSize) {
    if (processedSize)
        *processedSize = 0;
    // A full buffer is refilled only once a quarter of it is free: the two threads would
    // otherwise take turns at every small read.
    const size_t wanted = std::min<size_t>(size, buffer_.size() / 4);
    std::unique_lock<std::mutex> hold(lock_);
    if (!readingEnded_ && buffer_.size() - filled_ < wanted) {
        writerWants_ = wanted;
        changed_.wait(hold, [&] { return readingEnded_ || buffer_.size() - filled_ >= wanted; });
        writerWants_ = 0;
    }
    if (readingEnded_)
        return E_ABORT;
    // As much as fits after the data that waits, wrapping round the end of the buffer.
    size_t count = std::min<size_t>(size, buffer_.size() - filled_);
    size_t at = (start_ + filled_) % buffer_.size();
    size_t first = std::min(count, buffer_.size() - at);
    memcpy(&buffer_[at], data, first);
    memcpy(&buffer_[0], static_cast<const char*>(data) + first, count - first);
    filled_ += count;
    if (processedSize)
        *processedSize = static_cast<UINT32>(count);
    // The reader is woken only once it has what it waits for: each wake costs both threads
    // a trip through the system, which at every 32 KB written doubled a listing's time.
    if (readerWants_ != 0 && filled_ >= readerWants_)
        changed_.notify_all();
    return S_OK;
}

void StreamPipe::EndWriting() {
    std::lock_guard<std::mutex> hold(lock_);
    writingEnded_ = true;
    changed_.notify_all();
}

HRESULT StreamPipe::Read(void* data, UINT32 size, UINT32* processedSize) {
    if (processedSize)
        *processedSize = 0;
    // An empty buffer is read again only once a quarter of it is filled, or the writing
    // has ended: woken for less, the reader took each small write as it came.
    const size_t wanted = std::max<size_t>(1, buffer_.size() / 4);
    std::unique_lock<std::mutex> hold(lock_);
    if (!writingEnded_ && filled_ == 0) {
        readerWants_ = wanted;
        changed_.wait(hold, [&] { return writingEnded_ || filled_ >= wanted; });
        readerWants_ = 0;
    }
    size_t count = std::min<size_t>(size, filled_);
    size_t first = std::min(count, buffer_.size() - start_);
    memcpy(data, &buffer_[start_], first);
    memcpy(static_cast<char*>(data) + first, &buffer_[0], count - first);
    start_ = (start_ + count) % buffer_.size();
    filled_ -= count;
    if (processedSize)
        *processedSize = static_cast<UINT32>(count);
    if (writerWants_ != 0 && buffer_.size() - filled_ >= writerWants_)
        changed_.notify_all();
    return S_OK;
}

void StreamPipe::EndReading() {
    std::lock_guard<std::mutex> hold(lock_);
    readingEnded_ = true;
    changed_.notify_all();
}

void StreamPipe::SetWritingResult(int32_t operationResult) {
    writingResult_ = operationResult;
}

void StreamPipe::SetExtractResult(HRESULT result) {
    extractResult_ = result;
}

namespace {

class CPipeReader : public LibraryObject<ISequentialInStream> {
  public:
    explicit CPipeReader(std::shared_ptr<StreamPipe> pipe) : pipe_(std::move(pipe)) {}
    ~CPipeReader() override { pipe_->EndReading(); }
    HRESULT STDMETHODCALLTYPE Read(void* data, UINT32 size, UINT32* processedSize) override {
        return pipe_->Read(data, size, processedSize);
    }

  private:
    std::shared_ptr<StreamPipe> pipe_;
};

class CPipeWriter : public LibraryObject<ISequentialOutStream> {
  public:
    explicit CPipeWriter(std::shared_ptr<StreamPipe> pipe) : pipe_(std::move(pipe)) {}
    HRESULT STDMETHODCALLTYPE Write(const void* data, UINT32 size, UINT32* processedSize) override {
        return pipe_->Write(data, size, processedSize);
    }

  private:
    std::shared_ptr<StreamPipe> pipe_;
};

// Hands the compressed file's one item to the pipe, and nothing else.
class CFeedCallback : public LibraryObject<IArchiveExtractCallback> {
  public:
    explicit CFeedCallback(std::shared_ptr<StreamPipe> pipe) : pipe_(std::move(pipe)) {}
    HRESULT STDMETHODCALLTYPE SetTotal(UINT64) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetStream(UINT32, ISequentialOutStream** outStream,
                                        INT32 askExtractMode) override {
        if (!outStream)
            return E_POINTER;
        *outStream = nullptr;
        if (askExtractMode == AskExtract) {
            *outStream = new CPipeWriter(pipe_);
            (*outStream)->AddRef(); // the library's reference
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PrepareOperation(INT32) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 result) override {
        // A damaged end also shows in the archive read from the pipe: it ends early.
        pipe_->SetWritingResult(result);
        pipe_->EndWriting();
        return S_OK;
    }

  private:
    std::shared_ptr<StreamPipe> pipe_;
};

} // namespace

StreamFeeder::StreamFeeder(IInArchive* archive)
    : archive_(archive), pipe_(std::make_shared<StreamPipe>()), reader_(new CPipeReader(pipe_)) {}

StreamFeeder::~StreamFeeder() {
    // The reader may still hold its end; the writer is stopped all the same.
    pipe_->EndReading();
    if (thread_.joinable())
        thread_.join();
}

void StreamFeeder::Start() {
    win::ComPtr<IInArchive> archive = archive_;
    std::shared_ptr<StreamPipe> pipe = pipe_;
    thread_ = std::thread([archive, pipe] {
        win::ComPtr<CFeedCallback> callback(new CFeedCallback(pipe));
        const UINT32 first = 0;
        pipe->SetExtractResult(archive->Extract(&first, 1, 0, callback.get()));
        pipe->EndWriting();
    });
}

Fault StreamFeeder::Finish(const std::atomic<int32_t>* cancelled) {
    bool readToEnd = true;
    if (thread_.joinable()) {
        std::vector<char> rest(256 * 1024);
        for (;;) {
            if (cancelled && *cancelled) {
                readToEnd = false;
                break;
            }
            UINT32 read = 0;
            pipe_->Read(rest.data(), static_cast<UINT32>(rest.size()), &read);
            if (read == 0)
                break;
        }
        pipe_->EndReading();
        thread_.join();
    }
    if (!readToEnd)
        return Fault::None;
    switch (pipe_->writingResult()) {
    case ResultOk:
    case ResultDataAfterEnd: // more after the compressed data: what came out is whole
        break;
    case ResultCrcError:
        return Fault::CrcError;
    case ResultUnexpectedEnd:
        return Fault::CutShort;
    case ResultUnsupportedMethod:
        return Fault::UnsupportedMethod;
    default:
        return Fault::DataError;
    }
    HRESULT extracted = pipe_->extractResult();
    return extracted == S_OK || extracted == E_ABORT ? Fault::None : Fault::DataError;
}
