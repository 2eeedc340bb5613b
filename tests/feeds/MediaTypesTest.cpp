#include "feeds/MediaTypes.h"

#include <gtest/gtest.h>

namespace
{

TEST(MediaTypesTest, TypeTestsIgnoreCaseAndKeepTheirPrefixRules)
{
    EXPECT_TRUE(IsAudioType("Audio/MPEG"));
    EXPECT_TRUE(IsAudioType("x-audio/wav"));
    EXPECT_FALSE(IsAudioType("application/ogg"));
    EXPECT_TRUE(IsVideoType("VIDEO/mp4"));
    EXPECT_TRUE(IsVideoType("x-video/x-flv"));
    EXPECT_FALSE(IsVideoType("audio/video"));

    EXPECT_FALSE(IsOtherMediaType("application/x-shockwave-flash"));
    EXPECT_TRUE(IsOtherMediaType("application/pdf"));
    EXPECT_TRUE(IsOtherMediaType("UNKNOWN"));
    EXPECT_FALSE(IsOtherMediaType("unknown/type"));

    EXPECT_TRUE(IsHtmlType("Text/HTML; charset=utf-8"));

    EXPECT_TRUE(IsTorrentType("application/x-bittorrent"));
    EXPECT_TRUE(IsTorrentType("http://example.test/Show.TORRENT"));
    EXPECT_FALSE(IsTorrentType("http://example.test/show.torrent?x"));

    EXPECT_TRUE(IsStreamType("application/x-shockwave-flash"));
    EXPECT_TRUE(IsStreamType("http://example.test/Player.SWF"));
    EXPECT_TRUE(IsStreamType("RTSP://media.example.test/live"));
    EXPECT_TRUE(IsStreamType("mms://media.example.test/live"));
    EXPECT_FALSE(IsStreamType("http://example.test/rtsp://"));

    uString caller("Audio/MPEG");
    IsAudioType(caller);
    EXPECT_STREQ(caller.c_str(), "Audio/MPEG") << "the caller's text must stay as it was";
}

TEST(MediaTypesTest, FileNamesGoByTheirWholeSuffix)
{
    EXPECT_TRUE(IsAudioFileName("Episode.MP3"));
    EXPECT_TRUE(IsAudioFileName("stream.ram"));
    EXPECT_FALSE(IsAudioFileName("movie.mkv"));
    EXPECT_TRUE(IsMediaFileName("movie.mkv"));
    EXPECT_TRUE(IsMediaFileName("intro.swf"));
    EXPECT_FALSE(IsMediaFileName("notes.txt"));
    EXPECT_FALSE(IsMediaFileName("track-mp3"));

    const struct
    {
        const char* name;
        const char* type;
    } cases[] = {
        {"movie.mkv", "video/x-msvideo"},      {"song.mka", "audio/ms-audio"},
        {"SONG.WMA", "audio/ms-audio"},        {"episode.mp3", "audio/mpeg"},
        {"episodemp3", "application/unknown"}, {"talk.ram", "audio/x-realaudio"},
        {"talk.ra", "audio/x-realaudio"},      {"clip.mpe", "video/mpeg"},
        {"clip.mpeg", "video/mpeg"},           {"clip.rm", "video/x-realmedia"},
        {"tune.midi", "audio/midi"},           {"intro.swf", "application/unknown"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(GetMimeTypeFromExtension(c.name).c_str(), c.type) << c.name;
}

} // namespace
