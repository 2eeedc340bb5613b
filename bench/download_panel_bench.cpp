// The download manager panel over a 5,000-entry queue: one pass of its
// 2-second timer, and one full repaint of the rows in view. Run by hand under
// a display (xvfb-run) for the repaint figure; without one only the timer
// pass runs.
#include "dialogs/XListCtrl.h"
#include "downloads/DownloadManager.h"
#include "downloads/DownloadPanelModel.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/init.h>

namespace
{
constexpr int kRows = 5000;

// Folders in a temporary directory; no feed stores.
class BenchEnvironment : public CDownloadEnvironment
{
public:
    explicit BenchEnvironment(const std::string& root)
    {
        for (const char* folder : {"temp", "torrent", "subscription", "library"})
            std::filesystem::create_directories(root + "/" + folder);
        m_settings.tempDir = uFile((root + "/temp").c_str());
        m_settings.torrentDir = uFile((root + "/torrent").c_str());
        m_settings.subscriptionDir = uFile((root + "/subscription").c_str());
        m_settings.libraryDir = m_settings.defaultLibraryDir = uFile((root + "/library").c_str());
        m_settings.downloadDir = m_settings.musicDir = m_settings.movieDir = m_settings.libraryDir;
    }
    CDownloadSettings GetSettings() override { return m_settings; }
    void SetSchedulerInterval(int) override {}
    bool GetEnclosureFile(const uString&, const uString&, uString&) override { return false; }
    void SetEnclosureFile(const uString&, const uString&, const uString&, uint64_t, const char*) override {}

private:
    CDownloadSettings m_settings;
};

// A queue of kRows entries, every other one downloading with a partial file.
struct Queue
{
    Queue()
        : root(std::filesystem::temp_directory_path() / ("kestrova-panel-bench-" + std::to_string(getpid()))),
          environment(root.string()), manager(environment, nullptr, nullptr)
    {
        for (int index = 0; index < kRows; ++index)
        {
            const std::string item = "http://site.test/item" + std::to_string(index);
            CTransferItem record(CTransferItem::kTypePlain, CTransferItem::kMediaAudio, "News", "news.mdb",
                                 "http://site.test/feed", item.c_str(), (item + ".mp3").c_str());
            if (index % 2 == 0)
            {
                const std::string file = (root / ("part" + std::to_string(index))).string();
                std::filesystem::resize_file(
                    (std::fclose(std::fopen(file.c_str(), "w")), std::filesystem::path(file)), index);
                record.status = CTransferItem::kDownloading;
                record.localfile = uFile(file.c_str());
                record.length = kRows;
            }
            manager.AddItem(record);
        }
    }
    ~Queue() { std::filesystem::remove_all(root); }

    std::filesystem::path root;
    BenchEnvironment environment;
    CDownloadManager manager;
};

// One timer pass after the first (the bars exist; percents are re-read).
void BM_TimerPass(benchmark::State& state)
{
    Queue queue;
    CXListModel list;
    CDownloadPanelModel panel(list, &queue.manager);
    panel.InitColumns(800);
    panel.FillList();
    panel.OnTimer();
    for (auto _ : state)
        panel.OnTimer();
    int bars = 0;
    for (int row = 0; row < list.GetItemCount(); ++row)
        bars += list.GetCell(row, CDownloadPanelModel::kProgressColumn)->showProgress ? 1 : 0;
    if (bars != kRows / 2)
        state.SkipWithError("the pass made the wrong number of progress bars");
}
BENCHMARK(BM_TimerPass)->Unit(benchmark::kMillisecond);

// One full repaint of the rows in view of an 800 x 600 list.
void BM_FullRepaint(benchmark::State& state)
{
    Queue queue;
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(820, 640));
    auto* list = new CXListCtrl(frame, wxID_ANY, wxDefaultPosition, wxSize(800, 600));
    CDownloadPanelModel panel(list->GetModel(), &queue.manager);
    panel.InitColumns(800);
    panel.FillList();
    panel.OnTimer();
    panel.OnTimer();
    wxBitmap bitmap(800, 600, 24);
    wxMemoryDC dc(bitmap);
    const wxRect view(0, 0, 800, 600);
    for (auto _ : state)
        list->DrawRows(dc, view);
    dc.SelectObject(wxNullBitmap);
    if (list->GetModel().GetItemCount() != kRows)
        state.SkipWithError("the list was not filled");
    frame->Destroy();
}
} // namespace

class BenchApp : public wxApp
{
public:
    bool OnInit() override { return true; }
};

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    wxApp::SetInstance(new BenchApp);
    const bool display = std::getenv("DISPLAY") != nullptr && wxEntryStart(argc, argv);
    if (display)
        benchmark::RegisterBenchmark("BM_FullRepaint", BM_FullRepaint)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (display)
        wxEntryCleanup();
    return 0;
}
