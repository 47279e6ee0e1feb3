#include "dialogs/advanced/list_rules.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "dialogs/advanced/pick_file.h"
#include "scenario/alloc_names.h"
#include "scenario/text.h"

namespace qv {

std::optional<std::string> alloc_descriptor_for(const std::string& path) {
    // The search for a separator starts 13 characters before the end (at the first character
    // for shorter paths), so it finds the one before a name part of up to 13 characters.
    const std::size_t start = path.size() > 14 ? path.size() - 14 : 0;
    const std::size_t slash = path.find_first_of("\\/", start);
    if (slash == std::string::npos)
        return std::nullopt;
    const std::size_t underscore = path.find('_', slash);
    if (underscore == std::string::npos)
        return std::string(default_alloc_descriptor);
    const std::string tail = lower(path.substr(underscore));
    for (int n = alloc_name_first; n <= alloc_name_last; ++n)
        if (tail == lower(alloc_filename(n)))
            return alloc_descriptor(n);
    return std::string(default_alloc_descriptor);
}

ChooserRequest open_request(std::string title, std::string filter, int filter_index,
                            std::string initial_dir) {
    ChooserRequest request;
    request.title = std::move(title);
    request.filter = std::move(filter);
    request.filter_index = filter_index;
    request.initial_dir = std::move(initial_dir);
    return request;
}

bool accept_added_file(Session& s, const std::string& path) {
    if (!named_file_exists(s, path)) {
        s.untitled_message(path + " does not exist.");
        return false;
    }
    s.back_to_app_dir();
    return true;
}

bool add_alloc_file(Session& s, AllocList& work, const std::string& path) {
    std::optional<std::string> descriptor = alloc_descriptor_for(path);
    if (!descriptor) {
        s.message("The name of " + path + " is longer than 13 characters; the file was not added.",
                  Icon::Exclamation);
        return false;
    }
    if (work.contains(path)) {
        s.message(path + " is already in the list of allocation files.", Icon::Exclamation);
        return false;
    }
    work.add(std::make_shared<AllocCls>(AllocCls{*descriptor, path}), path);
    return true;
}

bool replace_list_file(Session& s, AllocList& work, int pos, const std::string& text,
                       const std::string& missing_suffix) {
    // The existence test lets an empty text pass; an entry without a file would only make a
    // line the model cannot read, so an empty box replaces nothing.
    if (pos < 0 || static_cast<std::size_t>(pos) >= work.size() || text.empty())
        return false;
    if (!named_file_exists(s, text)) {
        s.untitled_message(text + missing_suffix);
        return false;
    }
    const auto& cur = work[static_cast<std::size_t>(pos)];
    if (text == cur->allocfile)
        return false;
    if (work.contains(text)) {
        s.untitled_message(text + " Already Selected");
        return false;
    }
    AllocList rebuilt;
    for (std::size_t i = 0; i < work.size(); ++i) {
        if (i == static_cast<std::size_t>(pos))
            rebuilt.add(std::make_shared<AllocCls>(AllocCls{cur->descriptor, text}), text);
        else
            rebuilt.add(work[i], work.key_at(i));
    }
    work.copy_from(rebuilt);
    return true;
}

void remove_positions(AllocList& list, std::vector<int> positions) {
    std::sort(positions.rbegin(), positions.rend());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (int p : positions)
        if (p >= 0 && static_cast<std::size_t>(p) < list.size())
            list.remove_at(static_cast<std::size_t>(p));
}

std::vector<std::string> list_files(const AllocList& list) {
    std::vector<std::string> files;
    for (const auto& item : list)
        files.push_back(item->allocfile);
    return files;
}

void close_alloc_visit(Session& s, bool cancelled, bool changed) {
    Scenario& sc = s.sc;
    if (cancelled) {
        sc.alloc_files_work.copy_from(sc.alloc_files);
        return;
    }
    sc.alloc_files.copy_from(sc.alloc_files_work);
    if (changed)
        s.message("Note: Any new Scenario>Region selection will override Allocation",
                  Icon::Exclamation);
}

void commit_growth_files(Scenario& sc, const std::vector<std::string>& entries) {
    sc.growth_files = entries;
    sc.growth_files.emplace_back();
    sc.growth_changed = true;
}

void commit_pop_files(Scenario& sc, const std::vector<std::string>& entries) {
    sc.pop_files_changed = true;
    AllocList fresh;
    for (const std::string& file : entries)
        fresh.add_if_new(std::make_shared<AllocCls>(AllocCls{population_descriptor, file}), file);
    sc.pop_files_work.copy_from(fresh);
    sc.pop_files.copy_from(sc.pop_files_work);
}

std::string menu_display_name(const std::string& caption) {
    const std::size_t amp = caption.find('&');
    if (amp == std::string::npos)
        return caption;
    return caption.substr(0, amp) + caption.substr(amp + 1);
}

}  // namespace qv
