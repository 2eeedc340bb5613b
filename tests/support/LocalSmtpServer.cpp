#include "support/LocalSmtpServer.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace testsupport
{

namespace
{

const char* const kPython = "/usr/bin/python3";

// An aiosmtpd handler that keeps the raw DATA bytes; files appear by rename, so a reader never
// sees half a message. The server is set up as aiosmtpd's command line does (no size limit), but
// on the socket inherited as descriptor 3. Argument: the mail folder.
const char* const kServerScript = R"(import asyncio, itertools, logging, os, socket, sys
from aiosmtpd.smtp import SMTP

class Capture:
    def __init__(self, folder):
        self.folder = folder
        self.numbers = itertools.count(1)

    async def handle_DATA(self, server, session, envelope):
        base = os.path.join(self.folder, "%06d" % next(self.numbers))
        with open(base + ".envelope", "w") as out:
            out.write(envelope.mail_from + "\n")
            for rcpt in envelope.rcpt_tos:
                out.write(rcpt + "\n")
        with open(base + ".tmp", "wb") as out:
            out.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")
        return "250 OK"

async def serve(handler):
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(handler, data_size_limit=None), sock=socket.socket(fileno=3))
    await server.serve_forever()

logging.basicConfig(level=logging.ERROR)
asyncio.run(serve(Capture(sys.argv[1])))
)";

} // namespace

LocalSmtpServer::LocalSmtpServer()
{
    m_process =
        StartGreetingServer({kPython, "-c", kServerScript, m_mail.path()}, m_work.file("smtp.log"), &m_port);
    if (!m_process)
        throw std::runtime_error("LocalSmtpServer: aiosmtpd did not start: " +
                                 ReadFileBytes(m_work.file("smtp.log")));
}

LocalSmtpServer::~LocalSmtpServer() = default;

bool LocalSmtpServer::available()
{
    static const bool found = []
    {
        if (::access(kPython, X_OK) != 0)
            return false;
        TempDir work;
        return RunProgram({kPython, "-c", "import aiosmtpd"}, work.file("probe.log")) == 0;
    }();
    return found;
}

std::string LocalSmtpServer::url() const
{
    return "smtp://127.0.0.1:" + std::to_string(m_port);
}

std::vector<SmtpMessage> LocalSmtpServer::messages() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_mail.path()))
        if (entry.path().extension() == ".eml")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    std::vector<SmtpMessage> result;
    for (const std::string& name : names)
    {
        SmtpMessage message;
        message.data = ReadFileBytes(m_mail.file(name + ".eml"));
        std::istringstream envelope(ReadFileBytes(m_mail.file(name + ".envelope")));
        std::getline(envelope, message.mailFrom);
        for (std::string line; std::getline(envelope, line);)
            message.recipients.push_back(line);
        result.push_back(std::move(message));
    }
    return result;
}

bool LocalSmtpServer::waitForMessages(std::size_t count, int timeoutMs) const
{
    for (int waited = 0; waited < timeoutMs; waited += 20)
    {
        if (messages().size() >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return messages().size() >= count;
}

std::string LocalSmtpServer::log() const
{
    return m_process ? m_process->log() : std::string();
}

} // namespace testsupport
