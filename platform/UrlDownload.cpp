#include "platform/UrlDownload.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <libsoup/soup.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <optional>
#include <vector>

#include "platform/TextCodec.h"
#include "platform/WriteAll.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReadBlock = 256 * 1024;
constexpr unsigned kTickMilliseconds = 100;
// Sources left on our context after the transfer (closing sockets and the
// like) are dispatched before it goes; this only bounds a misbehaving one.
constexpr int kMaxDrainIterations = 1000;
// libsoup's own parse flags: escapes in the path and query are kept as sent.
constexpr auto kUriFlags = static_cast<GUriFlags>(SOUP_HTTP_URI_FLAGS);

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct UriUnref {
    void operator()(GUri* uri) const { g_uri_unref(uri); }
};
using UriPtr = std::unique_ptr<GUri, UriUnref>;

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

bool SameAscii(const char* a, const char* b) { return a && b && g_ascii_strcasecmp(a, b) == 0; }

int32_t FromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return kUrlPathNotFound;
        case ENOSPC:
        case EDQUOT: return kUrlMediumFull;
        default: return kUrlAccessDenied;
    }
}

// What a failed libsoup or GIO operation means for the caller.
int32_t FromError(const GError* error) {
    if (error->domain == G_TLS_ERROR) return kUrlSecurityProblem;
    if (error->domain == G_RESOLVER_ERROR) return kUrlResourceNotFound;
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
            case G_IO_ERROR_CONNECTION_REFUSED:
            case G_IO_ERROR_HOST_UNREACHABLE:
            case G_IO_ERROR_NETWORK_UNREACHABLE: return kUrlCannotConnect;
            case G_IO_ERROR_HOST_NOT_FOUND: return kUrlResourceNotFound;
            case G_IO_ERROR_TIMED_OUT: return kUrlConnectionTimeout;
            case G_IO_ERROR_CANCELLED: return kUrlAbort;
            case G_IO_ERROR_NO_SPACE: return kUrlMediumFull;
            default: break;
        }
    }
    return kUrlDownloadFailure;
}

// The temporary file beside the destination that receives the body and
// becomes the destination on Commit; removed if never committed.
class DestinationFile {
public:
    explicit DestinationFile(std::string path) : path_(std::move(path)) {}
    ~DestinationFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
    }
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;

    int32_t Create() {
        static std::atomic<unsigned> counter{0};
        const std::string stem = path_ + ".dl-" + std::to_string(::getpid()) + "-";
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = stem + std::to_string(counter++);
            // 0666 before the umask, as any file the process creates.
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                fd_ = fd;
                temp_ = name;
                return kUrlOk;
            }
            if (errno != EEXIST) return FromErrno(errno);
        }
        return kUrlAccessDenied;
    }

    const std::string& TempPath() const { return temp_; }

    int32_t Write(const char* data, size_t size) {
        return WriteAll(fd_, data, size) ? kUrlOk : FromErrno(errno);
    }

    int32_t Commit() {
        const int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0) return FromErrno(errno);
        if (::rename(temp_.c_str(), path_.c_str()) != 0) return FromErrno(errno);
        committed_ = true;
        return kUrlOk;
    }

private:
    std::string path_;
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
};

// A GLib main context of our own, the thread's default while it lives, so
// that libsoup's sources and callbacks run only inside our loop.
class ThreadContext {
public:
    ThreadContext() : context_(g_main_context_new()) { g_main_context_push_thread_default(context_); }
    ~ThreadContext() {
        for (int i = 0; i < kMaxDrainIterations && g_main_context_iteration(context_, FALSE); ++i) {
        }
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }
    ThreadContext(const ThreadContext&) = delete;
    ThreadContext& operator=(const ThreadContext&) = delete;

    GMainContext* get() const { return context_; }

private:
    GMainContext* context_;
};

// One GET with its redirections, driven by our own loop: the loop ends
// when an operation completes with a final outcome, never with an
// operation still pending (a cancelled one completes with CANCELLED first).
class HttpTransfer {
public:
    HttpTransfer(const UrlDownloadSettings& settings, const std::string& nativePath)
        : settings_(settings), file_(nativePath), buffer_(kReadBlock) {}
    ~HttpTransfer() {
        if (tick_) {
            g_source_destroy(tick_);
            g_source_unref(tick_);
        }
        body_.reset();
        message_.reset();
        if (session_) soup_session_abort(session_.get());
    }
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    int32_t Run(const std::string& url) {
        uri_.reset(g_uri_parse(url.c_str(), kUriFlags, nullptr));
        if (!uri_ || !g_uri_get_host(uri_.get()) || !*g_uri_get_host(uri_.get())) return kUrlInvalidUrl;
        httpsOnly_ = SameAscii(g_uri_get_scheme(uri_.get()), "https");

        session_.reset(soup_session_new());
        soup_session_set_timeout(session_.get(), 0);  // our own limit rules
        // No content coding: the stored bytes are the file's own bytes.
        soup_session_remove_feature_by_type(session_.get(), SOUP_TYPE_CONTENT_DECODER);
        if (!settings_.caFile.empty()) {
            GObjectPtr<GTlsDatabase> database(g_tls_file_database_new(settings_.caFile.c_str(), nullptr));
            if (!database) return kUrlSecurityProblem;
            soup_session_set_tls_database(session_.get(), database.get());
        }
        cancellable_.reset(g_cancellable_new());

        tick_ = g_timeout_source_new(kTickMilliseconds);
        g_source_set_callback(tick_, &HttpTransfer::OnTick, this, nullptr);
        g_source_attach(tick_, context_.get());

        Send();
        while (!finished_) g_main_context_iteration(context_.get(), TRUE);
        return result_;
    }

private:
    static gboolean OnTick(gpointer self) {
        static_cast<HttpTransfer*>(self)->Tick();
        return G_SOURCE_CONTINUE;
    }

    static void OnSent(GObject* source, GAsyncResult* result, gpointer data) {
        auto* self = static_cast<HttpTransfer*>(data);
        GError* error = nullptr;
        GInputStream* body = soup_session_send_finish(SOUP_SESSION(source), result, &error);
        if (!body) {
            const ErrorPtr owned(error);
            self->Finish(FromError(error));
            return;
        }
        self->body_.reset(body);
        self->Answered();
    }

    static void OnRead(GObject* source, GAsyncResult* result, gpointer data) {
        auto* self = static_cast<HttpTransfer*>(data);
        GError* error = nullptr;
        const gssize count = g_input_stream_read_finish(G_INPUT_STREAM(source), result, &error);
        if (count < 0) {
            const ErrorPtr owned(error);
            self->Finish(FromError(error));
            return;
        }
        self->Received(static_cast<size_t>(count));
    }

    bool ShouldAbort() const { return settings_.shouldAbort && settings_.shouldAbort(); }
    void Touch() { lastActivity_ = Clock::now(); }

    void Tick() {
        if (finished_) return;
        if (ShouldAbort()) {
            Cancel(kUrlAbort);
        } else if (Clock::now() - lastActivity_ >= settings_.answerLimit) {
            Cancel(kUrlConnectionTimeout);
        }
    }

    void Cancel(int32_t result) {
        if (cancelResult_) return;
        cancelResult_ = result;
        g_cancellable_cancel(cancellable_.get());
    }

    // The first cause of a cancellation wins over the CANCELLED it produces.
    void Finish(int32_t result) {
        if (finished_) return;
        result_ = cancelResult_ ? *cancelResult_ : result;
        finished_ = true;
    }

    void Send() {
        message_.reset(soup_message_new_from_uri(SOUP_METHOD_GET, uri_.get()));
        if (!message_) {
            Finish(kUrlInvalidUrl);
            return;
        }
        // We follow redirections ourselves, to hold the https-only rule.
        soup_message_add_flags(message_.get(), SOUP_MESSAGE_NO_REDIRECT);
        Touch();
        soup_session_send_async(session_.get(), message_.get(), G_PRIORITY_DEFAULT, cancellable_.get(),
                                &HttpTransfer::OnSent, this);
    }

    void Answered() {
        if (cancelResult_) {
            Finish(*cancelResult_);
            return;
        }
        Touch();
        const unsigned status = soup_message_get_status(message_.get());
        if (status >= 200 && status < 300) {
            BeginBody();
        } else if (status >= 300 && status < 400 && status != SOUP_STATUS_NOT_MODIFIED) {
            FollowRedirect();
        } else {
            Finish(status == SOUP_STATUS_NOT_FOUND ? kUrlResourceNotFound : kUrlDownloadFailure);
        }
    }

    void FollowRedirect() {
        SoupMessageHeaders* headers = soup_message_get_response_headers(message_.get());
        const char* location = soup_message_headers_get_one(headers, "Location");
        if (!location || ++redirects_ > kUrlMaxRedirects) {
            Finish(kUrlRedirectFailed);
            return;
        }
        UriPtr next(g_uri_parse_relative(uri_.get(), location, kUriFlags, nullptr));
        const char* scheme = next ? g_uri_get_scheme(next.get()) : nullptr;
        const bool https = SameAscii(scheme, "https");
        if (!next || !(https || SameAscii(scheme, "http")) || (httpsOnly_ && !https)) {
            Finish(kUrlRedirectFailed);
            return;
        }
        body_.reset();
        uri_ = std::move(next);
        Send();
    }

    void BeginBody() {
        SoupMessageHeaders* headers = soup_message_get_response_headers(message_.get());
        if (soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CONTENT_LENGTH) {
            total_ = static_cast<uint64_t>(soup_message_headers_get_content_length(headers));
        }
        if (const int32_t created = file_.Create(); created != kUrlOk) {
            Finish(created);
            return;
        }
        Report();
        ReadNext();
    }

    void ReadNext() {
        if (ShouldAbort()) {
            Finish(kUrlAbort);
            return;
        }
        g_input_stream_read_async(body_.get(), buffer_.data(), buffer_.size(), G_PRIORITY_DEFAULT,
                                  cancellable_.get(), &HttpTransfer::OnRead, this);
    }

    void Received(size_t count) {
        if (cancelResult_) {
            Finish(*cancelResult_);
            return;
        }
        if (count == 0) {
            // libsoup ends a body with Content-Length at that length; a
            // connection that closes before it is a broken download.
            Finish(total_ > 0 && received_ != total_ ? kUrlDownloadFailure : file_.Commit());
            return;
        }
        if (const int32_t written = file_.Write(buffer_.data(), count); written != kUrlOk) {
            Finish(written);
            return;
        }
        received_ += count;
        Touch();
        Report();
        ReadNext();
    }

    void Report() {
        if (settings_.progress) settings_.progress(received_, total_);
    }

    const UrlDownloadSettings& settings_;
    DestinationFile file_;
    ThreadContext context_;  // before the GLib objects: they go first
    GObjectPtr<SoupSession> session_;
    GObjectPtr<GCancellable> cancellable_;
    GObjectPtr<SoupMessage> message_;
    GObjectPtr<GInputStream> body_;
    GSource* tick_ = nullptr;
    UriPtr uri_;
    bool httpsOnly_ = false;
    int redirects_ = 0;
    uint64_t total_ = 0;
    uint64_t received_ = 0;
    std::vector<char> buffer_;
    Clock::time_point lastActivity_ = Clock::now();
    std::optional<int32_t> cancelResult_;
    bool finished_ = false;
    int32_t result_ = kUrlDownloadFailure;
};

struct CopyProgress {
    const UrlDownloadSettings& settings;
    GCancellable* cancellable;
};

void OnCopyProgress(goffset current, goffset total, gpointer data) {
    const auto* copy = static_cast<CopyProgress*>(data);
    if (copy->settings.progress) {
        copy->settings.progress(static_cast<uint64_t>(current), static_cast<uint64_t>(total));
    }
    if (copy->settings.shouldAbort && copy->settings.shouldAbort()) g_cancellable_cancel(copy->cancellable);
}

int32_t CopyLocalFile(const std::string& nativeUrl, const std::string& nativePath,
                      const UrlDownloadSettings& settings) {
    gchar* sourcePath = g_filename_from_uri(nativeUrl.c_str(), nullptr, nullptr);
    if (!sourcePath) return kUrlInvalidUrl;
    const GObjectPtr<GFile> source(g_file_new_for_path(sourcePath));
    g_free(sourcePath);

    // Source problems are told apart from destination problems up front:
    // the copy itself reports both the same way.
    const GObjectPtr<GFileInfo> info(g_file_query_info(source.get(), G_FILE_ATTRIBUTE_STANDARD_TYPE ","
                                                       G_FILE_ATTRIBUTE_STANDARD_SIZE,
                                                       G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    if (!info || g_file_info_get_file_type(info.get()) != G_FILE_TYPE_REGULAR) return kUrlResourceNotFound;

    DestinationFile file(nativePath);
    if (const int32_t created = file.Create(); created != kUrlOk) return created;
    const GObjectPtr<GFile> target(g_file_new_for_path(file.TempPath().c_str()));
    const GObjectPtr<GCancellable> cancellable(g_cancellable_new());
    CopyProgress progress{settings, cancellable.get()};
    OnCopyProgress(0, g_file_info_get_size(info.get()), &progress);

    GError* error = nullptr;
    if (!g_file_copy(source.get(), target.get(), G_FILE_COPY_OVERWRITE, cancellable.get(), &OnCopyProgress,
                     &progress, &error)) {
        const ErrorPtr owned(error);
        const int32_t code = FromError(error);
        return code == kUrlMediumFull || code == kUrlAbort ? code : kUrlDownloadFailure;
    }
    return file.Commit();
}

// The scheme in lower case, or empty when the text doesn't start with one.
std::string SchemeOf(const std::string& url) {
    const size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    std::string scheme;
    for (size_t i = 0; i < colon; ++i) {
        const char c = url[i];
        const bool letter = g_ascii_isalpha(c);
        if (!letter && (i == 0 || !(g_ascii_isdigit(c) || c == '+' || c == '-' || c == '.'))) return {};
        scheme += g_ascii_tolower(c);
    }
    return scheme;
}

}  // namespace

int32_t DownloadUrlToFile(const std::wstring& url, const std::wstring& path, const UrlDownloadSettings& settings) {
    if (path.empty()) return kUrlPathNotFound;
    if (settings.shouldAbort && settings.shouldAbort()) return kUrlAbort;
    const std::string utf8 = EncodeWide(url, 65001);
    const std::string scheme = SchemeOf(utf8);
    if (scheme.empty()) return kUrlInvalidUrl;
    if (scheme == "file") return CopyLocalFile(ToNative(url), ToNative(path), settings);
    if (scheme != "http" && scheme != "https") return kUrlUnknownProtocol;
    HttpTransfer transfer(settings, ToNative(path));
    return transfer.Run(utf8);
}

}  // namespace platform
