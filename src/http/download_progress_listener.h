// CDownloadProgressListener: what a CHttpDownloaderBase tells about the body as it arrives.
// The downloader does not own its listener; it calls it on the downloading thread after each
// chunk. Nothing in the plug-in sets one; it is there for users of the downloader.
#pragma once

#include <cstdint>

class CDownloadProgressListener {
 public:
  // Bytes of the body received so far and the announced Content-Length (0 when none). The
  // result is not read.
  virtual bool OnProgress(std::uint32_t bytesReceived, std::uint32_t contentLength) = 0;

 protected:
  ~CDownloadProgressListener() = default;  // never deleted through this interface
};
