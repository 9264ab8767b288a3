// The media player the preview drives, behind an interface so tests can put a fake in its place. It plays
// a memory file (shell/koSplash.h) opened by its name followed by "+", so no temporary file is written.
#pragma once

#include "platform/Exceptions.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

enum TMediaDeviceType { dtAutoSelect, dtAVIVideo, dtWaveAudio };
enum TMediaPlayerMode { mpNotReady, mpStopped, mpPlaying, mpPaused };

class IMediaBackend {
public:
    virtual ~IMediaBackend() = default;
    // Opens the memory file PlayerFileName names ("stream0.data+") for the device; a video shows in
    // Display. Raises when the media cannot be opened at once; failures found later come through OnError.
    virtual void Open(const QString& PlayerFileName, TMediaDeviceType DeviceType, QWidget* Display) = 0;
    virtual void Close() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Stop() = 0;
    // Position and length in milliseconds.
    virtual int64_t Position() const = 0;
    virtual void SetPosition(int64_t Value) = 0;
    virtual int64_t Length() const = 0;
    virtual TMediaPlayerMode Mode() const = 0;
    // The video's place in the display changed size: keep it centred at its own size.
    virtual void CenterDisplay(int SourceWidth, int SourceHeight) = 0;

    // Playback reached the end of the media (never sent for a stop or pause).
    std::function<void()> OnEndOfMedia;
    std::function<void(const QString& Message)> OnError;
};

using TMediaBackendFactory = std::function<std::unique_ptr<IMediaBackend>()>;
// Replaces the factory views create their player with; returns the previous one. An empty factory
// restores the QtMultimedia player.
TMediaBackendFactory SetMediaBackendFactory(TMediaBackendFactory Factory);
std::unique_ptr<IMediaBackend> CreateMediaBackend();
