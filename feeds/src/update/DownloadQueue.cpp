#include "feeds/DownloadQueue.h"

bool IsITunesInstalled()
{
    return false;
}
