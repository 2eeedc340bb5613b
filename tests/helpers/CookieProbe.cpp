// A second copy of the program's cookie store for the cookie tests: the
// same cookie file, from another process.
//   kestrova_cookie_probe JAR STEP...   runs the steps in order:
//     nobody      goes on as user nobody (65534), who reads only what all may
//     fetch:URL   one transfer with the jar; prints "fetched BODY" once it is gone
//     libcurl:URL one transfer of libcurl alone, reading the jar's file; prints
//                 "fetched BODY", or "failed"
//     pause:FILE  the next write of the jar stops just before its rename,
//                 prints "mid-save", and goes on once FILE exists
//     wait:FILE   waits until FILE exists
//     close       the close's last save; prints "closed"
#include "foundation/uCurlTransfer.h"

#include <chrono>
#include <cstdio>
#include <curl/curl.h>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

std::string g_pauseUntil;

void WaitFor(const std::string& file)
{
    struct stat info = {};
    while (::stat(file.c_str(), &info) != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::size_t Append(char* data, std::size_t size, std::size_t count, void* text)
{
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

void PauseOnce(const std::string&)
{
    if (g_pauseUntil.empty())
        return;
    Say("mid-save");
    WaitFor(g_pauseUntil);
    g_pauseUntil.clear();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const uFile jar(argv[1]);
    uCurlTransfer::setCookieSaveHook(&PauseOnce);
    for (int i = 2; i < argc; ++i)
    {
        const std::string step = argv[i];
        const std::string argument = step.substr(step.find(':') + 1);
        if (step == "nobody")
        {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                return 3;
        }
        else if (step.rfind("fetch:", 0) == 0)
        {
            uString body;
            {
                uCurlTransfer transfer(uString(argument.c_str()));
                transfer.setCookieFile(jar);
                transfer.downloadToString(&body);
            }
            // Once the transfer is gone, its save has been tried.
            Say("fetched " + std::string(body.c_str()));
        }
        else if (step.rfind("libcurl:", 0) == 0)
        {
            std::string body;
            CURL* curl = curl_easy_init();
            if (!curl)
                return 4;
            curl_easy_setopt(curl, CURLOPT_URL, argument.c_str());
            curl_easy_setopt(curl, CURLOPT_PROXY, "");
            curl_easy_setopt(curl, CURLOPT_COOKIEFILE, argv[1]);
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
            curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
            const CURLcode result = curl_easy_perform(curl);
            curl_easy_cleanup(curl);
            Say(result == CURLE_OK ? "fetched " + body : "failed");
        }
        else if (step.rfind("pause:", 0) == 0)
            g_pauseUntil = argument;
        else if (step.rfind("wait:", 0) == 0)
            WaitFor(argument);
        else if (step == "close")
        {
            uCurlTransfer::saveDueCookies();
            Say("closed");
        }
        else
            return 2;
    }
    return 0;
}
