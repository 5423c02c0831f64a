// The file chooser on Windows: the common item dialog (IFileOpenDialog,
// IFileSaveDialog) on a thread of its own, so the editor's main thread keeps
// drawing its window meanwhile. The dialog is owned by the editor's window,
// which it disables while it is up, so input to the editor waits.
//
// <windows.h> comes through <winalleg.h>, never after <allegro.h>: both
// name a BITMAP.
#include "app/file_chooser.h"

#include <allegro.h>
#include <winalleg.h>
#include <shobjidl.h>

#include <atomic>
#include <thread>

#include "app/file_dialog.h"
#include "base/utf16.h"

namespace {

// The format choice of a folder dialog, a combo box of our own in it.
enum { FORMAT_BOX = 1 };

struct chooser_answer {
    int result = CHOOSER_FAILED;
    std::string path, why;
    int filter_index = 1;
};

std::string failure(const char *what, HRESULT code)
{
    char text[160];
    snprintf(text, sizeof text, "The file chooser failed (%s: 0x%08lx).", what, (unsigned long)code);
    return text;
}

// The file types in the dialog's own form; an open dialog ends with "All
// Files", which answers as the first.
struct dialog_filters {
    std::vector<std::wstring> texts;
    std::vector<COMDLG_FILTERSPEC> specs;
};

void fill_filters(const chooser_request &request, dialog_filters *filters)
{
    for (const auto &filter : request.filters) {
        filters->texts.push_back(utf16_from_utf8(filter.first.c_str()));
        filters->texts.push_back(utf16_from_utf8(filter.second.c_str()));
    }
    if (request.mode == CHOOSE_OPEN) {
        filters->texts.push_back(L"All Files (*.*)");
        filters->texts.push_back(L"*.*");
    }
    for (size_t i = 0; i + 1 < filters->texts.size(); i += 2)
        filters->specs.push_back({filters->texts[i].c_str(), filters->texts[i + 1].c_str()});
}

// The folder as the shell's item; null when the shell does not know it.
IShellItem *shell_item(const std::string &path)
{
    IShellItem *item = nullptr;
    std::wstring wide = utf16_from_utf8(path.c_str());
    if (wide.empty() || FAILED(SHCreateItemFromParsingName(wide.c_str(), nullptr, IID_PPV_ARGS(&item))))
        return nullptr;
    return item;
}

// Everything but showing it: title, folder, types, names, options.
HRESULT set_up(IFileDialog *dialog, const chooser_request &request, const dialog_filters &filters)
{
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    options |= FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
    if (request.mode == CHOOSE_OPEN) options |= FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST;
    if (request.mode == CHOOSE_SAVE) options |= FOS_OVERWRITEPROMPT | FOS_PATHMUSTEXIST;
    if (request.mode == CHOOSE_FOLDER) options |= FOS_PICKFOLDERS;
    HRESULT hr = dialog->SetOptions(options);
    if (SUCCEEDED(hr)) hr = dialog->SetTitle(utf16_from_utf8(request.title.c_str()).c_str());
    if (FAILED(hr)) return hr;
    std::string folder = request.folder, name = request.suggested_name;
    if (!request.selected_file.empty()) {
        size_t slash = request.selected_file.find_last_of("\\/");
        if (slash != std::string::npos) folder = request.selected_file.substr(0, slash + 1);
        name = request.selected_file.substr(slash == std::string::npos ? 0 : slash + 1);
    }
    if (IShellItem *start = shell_item(folder)) {
        dialog->SetFolder(start);
        start->Release();
    }
    if (!name.empty()) dialog->SetFileName(utf16_from_utf8(name.c_str()).c_str());
    if (request.mode == CHOOSE_FOLDER) return S_OK;
    hr = dialog->SetFileTypes((UINT)filters.specs.size(), filters.specs.data());
    if (SUCCEEDED(hr) && request.mode == CHOOSE_SAVE) {
        UINT first = request.start_filter >= 1 && (size_t)request.start_filter <= filters.specs.size()
                         ? (UINT)request.start_filter : 1;
        dialog->SetFileTypeIndex(first);
        // A name typed without an extension gets the chosen type's, which
        // follows the type as the user changes it.
        const wchar_t *pattern = filters.specs[first - 1].pszSpec;
        if (wcsncmp(pattern, L"*.", 2) == 0 && !wcschr(pattern, L';')) dialog->SetDefaultExtension(pattern + 2);
    }
    return hr;
}

// A folder dialog's formats, as a combo box of our own under the folder.
void add_format_box(IFileDialog *dialog, const chooser_request &request)
{
    IFileDialogCustomize *customize = nullptr;
    if (request.filters.empty() || FAILED(dialog->QueryInterface(IID_PPV_ARGS(&customize)))) return;
    customize->AddComboBox(FORMAT_BOX);
    for (size_t i = 0; i < request.filters.size(); i++)
        customize->AddControlItem(FORMAT_BOX, (DWORD)i + 1, utf16_from_utf8(request.filters[i].first.c_str()).c_str());
    customize->SetSelectedControlItem(FORMAT_BOX, 1);
    customize->Release();
}

int chosen_format(IFileDialog *dialog)
{
    IFileDialogCustomize *customize = nullptr;
    DWORD item = 1;
    if (SUCCEEDED(dialog->QueryInterface(IID_PPV_ARGS(&customize)))) {
        if (FAILED(customize->GetSelectedControlItem(FORMAT_BOX, &item))) item = 1;
        customize->Release();
    }
    return (int)item;
}

// The whole dialog, on the chooser's thread (COM wants it initialised there).
void show_dialog(const chooser_request &request, chooser_answer *answer)
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(hr)) {
        answer->result = CHOOSER_NOT_STARTED;
        answer->why = failure("COM", hr);
        return;
    }
    IFileDialog *dialog = nullptr;
    hr = CoCreateInstance(request.mode == CHOOSE_SAVE ? CLSID_FileSaveDialog : CLSID_FileOpenDialog, nullptr,
                          CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog));
    if (FAILED(hr)) {
        answer->result = CHOOSER_NOT_STARTED;
        answer->why = failure("the Windows file dialog", hr);
        CoUninitialize();
        return;
    }
    dialog_filters filters;
    fill_filters(request, &filters);
    if (request.mode == CHOOSE_FOLDER) add_format_box(dialog, request);
    hr = set_up(dialog, request, filters);
    if (SUCCEEDED(hr)) hr = dialog->Show(win_get_window());
    IShellItem *item = nullptr;
    wchar_t *name = nullptr;
    if (hr == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
        answer->result = CHOOSER_CANCELLED;
    } else if (FAILED(hr) || FAILED(hr = dialog->GetResult(&item)) ||
               FAILED(hr = item->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
        answer->why = failure("no file came back", hr);
    } else {
        answer->path = utf8_from_utf16(name);
        UINT type = 1;
        if (request.mode == CHOOSE_FOLDER) type = (UINT)chosen_format(dialog);
        else if (FAILED(dialog->GetFileTypeIndex(&type)) || type > request.filters.size()) type = 1;
        answer->filter_index = (int)type;
        answer->result = answer->path.empty() ? CHOOSER_FAILED : CHOOSER_CHOSEN;
        if (answer->path.empty()) answer->why = "The file chooser gave an answer that cannot be used.";
    }
    CoTaskMemFree(name);
    if (item) item->Release();
    dialog->Release();
    CoUninitialize();
}

}  // namespace

int run_file_chooser(const chooser_request &request, std::string *path, int *filter_index, std::string *why)
{
    chooser_answer answer;
    std::atomic<bool> done(false);
    std::thread chooser([&] {
        show_dialog(request, &answer);
        done = true;
    });
    while (!done) {
        call_file_dialog_wait_hook();
        Sleep(30);
    }
    chooser.join();
    if (answer.result != CHOOSER_CHOSEN) {
        *why = answer.why;
        return answer.result;
    }
    *path = answer.path;
    *filter_index = answer.filter_index;
    return CHOOSER_CHOSEN;
}

// Nothing outlives a dialog here, and there is no program to choose.
void reap_file_choosers() {}
void set_file_chooser_program(const char *) {}
