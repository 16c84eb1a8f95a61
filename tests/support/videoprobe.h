#ifndef VELMARO_TESTS_SUPPORT_VIDEOPROBE_H
#define VELMARO_TESTS_SUPPORT_VIDEOPROBE_H

#include <QFile>
#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

// What libavformat reads back from a video file: its first video stream's
// codec, size, packet count and duration. ok is false when it cannot open it.
struct VideoProbe {
    bool ok = false;
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0;
    int height = 0;
    int frames = 0;
    double seconds = 0.0;

    static VideoProbe read(const QString &path)
    {
        VideoProbe probe;
        AVFormatContext *format = nullptr;
        if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
            return probe;
        const int index = avformat_find_stream_info(format, nullptr) < 0
                              ? -1
                              : av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (index >= 0) {
            const AVStream *stream = format->streams[index];
            probe.ok = true;
            probe.codec = stream->codecpar->codec_id;
            probe.width = stream->codecpar->width;
            probe.height = stream->codecpar->height;
            probe.seconds = stream->duration * av_q2d(stream->time_base);
            AVPacket *packet = av_packet_alloc();
            while (av_read_frame(format, packet) >= 0) {
                probe.frames += packet->stream_index == index;
                av_packet_unref(packet);
            }
            av_packet_free(&packet);
        }
        avformat_close_input(&format);
        return probe;
    }
};

#endif
