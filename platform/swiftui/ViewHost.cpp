#include "platform/swiftui/ViewHost.h"

#include <algorithm>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/LabelMatch.h"
#include "platform/uikit/UIApplication.h"

namespace platform::swiftui {

namespace {
void addHost(std::vector<std::weak_ptr<ViewHost>>& hosts, ViewHost* host) {
    hosts.erase(std::remove_if(hosts.begin(), hosts.end(), [](const auto& w) { return w.expired(); }),
                hosts.end());
    for (const auto& w : hosts)
        if (w.lock().get() == host) return;
    hosts.push_back(host->weak_from_this());
}

void notifyHosts(const std::vector<std::weak_ptr<ViewHost>>& hosts) {
    auto copy = hosts;
    for (const auto& w : copy)
        if (auto h = w.lock()) h->setNeedsRebuild();
}

} // namespace

namespace detail {
void StateBoxBase::track() {
    const BuildContext* ctx = currentBuild();
    if (ctx && ctx->host) addHost(hosts, ctx->host);
}

void StateBoxBase::changed() {
    notifyHosts(hosts);
}

bool isPressed(const BuildContext& ctx) {
    return ctx.host && ctx.host->isPressed(ctx.path);
}

std::shared_ptr<StateBoxBase> stateSlot(const BuildContext& ctx, const std::string& key,
                                        std::shared_ptr<StateBoxBase> fresh) {
    if (!ctx.host) return fresh;
    return ctx.host->stateSlot(key, std::move(fresh));
}
} // namespace detail

void ObservableObject::track() const {
    const BuildContext* ctx = detail::currentBuild();
    if (ctx && ctx->host) addHost(hosts_, ctx->host);
}

void ObservableObject::objectWillChange() const {
    notifyHosts(hosts_);
}

std::shared_ptr<ViewHost> ViewHost::make(AnyView root) {
    std::shared_ptr<ViewHost> host(new ViewHost(std::move(root)));
    std::weak_ptr<ViewHost> weak = host;
    host->env_.dismissAction = [weak] {
        if (auto h = weak.lock()) h->requestDismiss();
    };
    host->env_.openURLAction = [weak](const std::string& url) {
        if (auto h = weak.lock()) {
            h->openedURLs_.push_back(url);
            if (h->openURLHandler_)
                h->openURLHandler_(url);
            else
                UIApplication::sharedApplication().openURL_options_completionHandler(url, {}, nullptr);
        }
    };
    return host;
}

ViewHost::ViewHost(AnyView root) : rootView_(std::move(root)) {}
ViewHost::~ViewHost() = default;

void ViewHost::setRootView(AnyView root) {
    rootView_ = std::move(root);
    slots_.clear();
    appeared_.clear();
    rebuild();
}

const Node& ViewHost::tree() {
    if (!busy_) syncSheet();
    if (!root_ || dirty_) rebuild();
    return *root_;
}

std::shared_ptr<detail::StateBoxBase> ViewHost::stateSlot(const std::string& key,
                                                          std::shared_ptr<detail::StateBoxBase> fresh) {
    touched_.insert(key);
    auto [it, inserted] = slots_.try_emplace(key, fresh);
    if (!inserted && typeid(*it->second) != typeid(*fresh)) it->second = fresh;
    return it->second;
}

void ViewHost::rebuild() {
    auto keep = shared_from_this();
    ++busy_;
    touched_.clear();
    BuildContext ctx{this, "0", env_};
    NodePtr fresh = rootView_.build(ctx);
    root_ = fresh;
    ++generation_;
    std::erase_if(slots_, [&](const auto& entry) { return !touched_.count(entry.first); });
    dirty_ = false;
    --busy_;
    afterRebuild();
}

void ViewHost::afterRebuild() {
    // Views that entered the tree get their onAppear, once, after the build.
    std::vector<std::function<void()>> appearing;
    std::set<std::string> present;
    root_->find([&](const Node& n) {
        for (std::size_t i = 0; i < n.modifiers.size(); ++i)
            if (n.modifiers[i].name == "onAppear") {
                std::string key = n.path + "#" + std::to_string(i);
                present.insert(key);
                if (!appeared_.count(key) && n.modifiers[i].action)
                    appearing.push_back(n.modifiers[i].action);
            }
        return false;
    });
    appeared_ = std::move(present);
    for (auto& action : appearing)
        run(action);
    if (appearing.empty()) checkSheets();
}

void ViewHost::setNeedsRebuild() {
    dirty_ = true;
    if (busy_ || rebuildQueued_) return;
    rebuildQueued_ = true;
    std::weak_ptr<ViewHost> weak = weak_from_this();
    DispatchQueue::main().async([weak] {
        auto h = weak.lock();
        if (!h) return;
        h->rebuildQueued_ = false;
        if (h->dirty_) h->rebuild();
    });
}

bool ViewHost::run(const std::function<void()>& action) {
    auto keep = shared_from_this();
    ++busy_;
    auto copy = action; // the node holding it goes away with the rebuild
    copy();
    --busy_;
    if (!busy_) rebuild();
    return true;
}

void ViewHost::fail(std::string message) {
    lastError_ = std::move(message);
}

namespace {
std::string quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}
} // namespace

const Node* ViewHost::findByLabel(const Node& within, std::string_view label,
                                  const std::function<bool(const Node&)>& can, const char* what) {
    // A heading is a text, named by what it shows; a control by its label.
    auto nameOf = [what](const Node& n) {
        return std::string_view(what) == "heading" ? n.text() : n.label();
    };
    const auto candidates = within.findAll(can);
    std::vector<std::string> names;
    for (const Node* n : candidates)
        names.push_back(nameOf(*n));
    const auto match = platform::matchLabel(names, label);
    std::vector<const Node*> hits;
    for (std::size_t i : match.hits)
        hits.push_back(candidates[i]);
    const std::string_view rule = match.rule;
    if (hits.empty()) {
        fail(std::string("no ") + what + " labelled " + quoted(label));
        return nullptr;
    }
    if (hits.size() > 1) {
        std::string names;
        for (const Node* n : hits)
            names += (names.empty() ? "" : ", ") + quoted(nameOf(*n));
        fail(std::to_string(hits.size()) + " " + what + "s " + std::string(rule) + " " + quoted(label) +
             ": " + names);
        return nullptr;
    }
    return hits.front();
}

const Node* ViewHost::control(std::string_view label, const std::function<bool(const Node&)>& can,
                              const char* what) {
    const Node* hit = findByLabel(tree(), label, can, what);
    if (!hit) return nullptr;
    if (!hit->enabled) {
        fail(std::string(what) + " " + quoted(hit->label()) + " is disabled");
        return nullptr;
    }
    return hit;
}

const Node* ViewHost::find(std::string_view label, const std::function<bool(const Node&)>& can,
                           const char* what) {
    return findByLabel(tree(), label, can, what);
}

const Node* ViewHost::findAfter(std::string_view heading, std::string_view item) {
    const Node& root = tree();
    const Node* title = findByLabel(
        root, heading, [](const Node& n) { return n.kind == "Text"; }, "heading");
    if (!title) return nullptr;
    // The buttons that follow the heading in reading order; the first with the item's label.
    std::vector<const Node*> order;
    root.find([&](const Node& n) {
        order.push_back(&n);
        return false;
    });
    std::vector<const Node*> after;
    bool passed = false;
    for (const Node* n : order) {
        if (n == title) {
            passed = true;
            continue;
        }
        if (passed && n->action) after.push_back(n);
    }
    for (const Node* button : after)
        if (button->label() == item ||
            platform::trimmedLabel(button->label()) == platform::trimmedLabel(item))
            return button;
    fail("no button " + quoted(item) + " under " + quoted(title->text()));
    return nullptr;
}

bool ViewHost::pressAfter(std::string_view heading, std::string_view item) {
    const Node* button = findAfter(heading, item);
    if (!button) return false;
    if (!button->enabled) {
        fail("button " + quoted(item) + " under " + quoted(heading) + " is disabled");
        return false;
    }
    return run(button->action);
}

bool ViewHost::press(std::string_view label) {
    const Node* b = control(
        label, [](const Node& n) { return bool(n.action); }, "button");
    return b && run(b->action);
}

bool ViewHost::press(const Node& button) {
    const Node* b = tree().findPath(button.path);
    if (!b || !b->action) {
        fail("no button at " + button.path);
        return false;
    }
    if (!b->enabled) {
        fail("button at " + button.path + " is disabled");
        return false;
    }
    return run(b->action);
}

bool ViewHost::pressDown(std::string_view label) {
    const Node* b = control(
        label, [](const Node& n) { return bool(n.action); }, "button");
    if (!b) return false;
    pressed_.insert(b->path);
    rebuild();
    return true;
}

bool ViewHost::pressUp(std::string_view label) {
    const Node* b = control(
        label, [](const Node& n) { return bool(n.action); }, "button");
    if (!b || !pressed_.erase(b->path)) {
        if (b) fail("button \"" + std::string(label) + "\" is not held down");
        return false;
    }
    return run(b->action);
}

const Node* ViewHost::textField(std::string_view label) {
    return control(
        label, [](const Node& n) { return bool(n.setText) && n.kind != "Picker"; }, "text field");
}

bool ViewHost::edit(std::string_view label, const std::string& text) {
    const Node* f = textField(label);
    if (!f) return false;
    auto set = f->setText;
    return run([set, text] { set(text); });
}

bool ViewHost::edit(const Node& field, const std::string& text) {
    const Node* f = tree().findPath(field.path);
    if (!f || !f->setText) {
        fail("no text field at " + field.path);
        return false;
    }
    auto set = f->setText;
    return run([set, text] { set(text); });
}

bool ViewHost::setOn(std::string_view label, bool on) {
    const Node* t = control(
        label, [](const Node& n) { return bool(n.setOn); }, "toggle");
    if (!t) return false;
    auto set = t->setOn;
    return run([set, on] { set(on); });
}

bool ViewHost::increment(std::string_view label) {
    const Node* s = control(
        label, [](const Node& n) { return bool(n.increment); }, "stepper");
    return s && run(s->increment);
}

bool ViewHost::decrement(std::string_view label) {
    const Node* s = control(
        label, [](const Node& n) { return bool(n.decrement); }, "stepper");
    return s && run(s->decrement);
}

bool ViewHost::select(std::string_view label, const std::string& option) {
    const Node* p = control(
        label, [](const Node& n) { return bool(n.select); }, "picker");
    if (!p) return false;
    if (std::find(p->options.begin(), p->options.end(), option) == p->options.end()) {
        fail("picker \"" + std::string(label) + "\" has no option \"" + option + "\"");
        return false;
    }
    auto sel = p->select;
    return run([sel, option] { sel(option); });
}

bool ViewHost::tap(const Node& node) {
    const Node* n = tree().findPath(node.path);
    const Modifier* gesture = n ? n->modifier("onTapGesture") : nullptr;
    if (!gesture || !gesture->action) {
        fail("nothing to tap at " + node.path);
        return false;
    }
    return run(gesture->action);
}

bool ViewHost::pressDown(const Node& button) {
    const Node* b = tree().findPath(button.path);
    if (!b || !b->action || !b->enabled) {
        fail("no enabled button at " + button.path);
        return false;
    }
    pressed_.insert(b->path);
    rebuild();
    return true;
}

bool ViewHost::pressUp(const Node& button, bool perform) {
    std::string path = button.path;
    if (!pressed_.erase(path)) {
        fail("button at " + path + " is not held down");
        return false;
    }
    const Node* b = tree().findPath(path);
    if (perform && b && b->action && b->enabled) return run(b->action);
    rebuild();
    return true;
}

bool ViewHost::change(const Node& control, const std::function<void(const Node&)>& change) {
    std::string path = control.path;
    const Node* c = tree().findPath(path);
    if (!c || !c->isControl()) {
        fail("no control at " + path);
        return false;
    }
    if (!c->enabled) {
        fail("control at " + path + " is disabled");
        return false;
    }
    Node copy = *c; // the tree is rebuilt under the change
    return run([&copy, &change] { change(copy); });
}

void ViewHost::setColorScheme(ColorScheme scheme) {
    env_.colorScheme = scheme;
    if (sheet_ && sheet_->child) sheet_->child->setColorScheme(scheme);
    rebuild();
}

void ViewHost::setDismissHandler(std::function<void()> handler) {
    dismissHandler_ = std::move(handler);
    env_.isPresented = bool(dismissHandler_) || !parent_.expired();
}

void ViewHost::setSheetPresenter(SheetPresenter present, std::function<void()> takeAway,
                                 std::function<bool()> stillShown) {
    presenter_ = std::move(present);
    takeAway_ = std::move(takeAway);
    stillShown_ = std::move(stillShown);
}

void ViewHost::syncSheet() {
    if (sheet_ && !sheet_->child && stillShown_ && !stillShown_()) sheetDidDismiss();
}

void ViewHost::requestDismiss() {
    if (auto parent = parent_.lock())
        parent->sheetDidDismiss();
    else if (dismissHandler_)
        dismissHandler_();
}

void ViewHost::checkSheets() {
    if (!root_) return;
    // Reading the flags here subscribes this host to them, so that a flag cleared from elsewhere
    // (the sheet's own content, through a binding) takes the sheet away.
    BuildContext ctx{this, "", env_};
    detail::BuildScope scope(ctx);
    if (sheet_) {
        const Node* at = root_->findPath(sheet_->path);
        const Modifier* m = at ? at->modifier("sheet") : nullptr;
        if (!m || !m->sheet->isPresented()) {
            // The views cleared the flag themselves: take the sheet away.
            sheet_.reset();
            if (takeAway_) takeAway_();
        }
        return;
    }
    bool wanted = root_->find([](const Node& n) {
        for (const Modifier& m : n.modifiers)
            if (m.sheet && m.sheet->isPresented()) return true;
        return false;
    }) != nullptr;
    if (!wanted || sheetQueued_) return;
    sheetQueued_ = true;
    std::weak_ptr<ViewHost> weak = weak_from_this();
    DispatchQueue::main().async([weak] {
        if (auto h = weak.lock()) h->presentPendingSheet();
    });
}

void ViewHost::presentPendingSheet() {
    sheetQueued_ = false;
    if (dirty_) rebuild();
    if (sheet_ || !root_) return;
    std::shared_ptr<SheetRequest> request;
    std::string path;
    root_->find([&](const Node& n) {
        for (const Modifier& m : n.modifiers)
            if (m.sheet && m.sheet->isPresented()) {
                request = m.sheet;
                path = n.path;
                return true;
            }
        return false;
    });
    if (!request) return;
    AnyView content = request->content();
    sheet_ = ActiveSheet{path, request, nullptr};
    if (presenter_) {
        presenter_(content);
        return;
    }
    auto child = ViewHost::make(content);
    child->parent_ = weak_from_this();
    child->env_.isPresented = true;
    child->env_.colorScheme = env_.colorScheme;
    sheet_->child = child;
    child->rebuild();
}

void ViewHost::sheetDidDismiss() {
    if (!sheet_) return;
    auto keep = shared_from_this();
    auto request = sheet_->request;
    sheet_.reset();
    ++busy_;
    request->reset();
    --busy_;
    if (!busy_)
        rebuild();
    else
        dirty_ = true;
}

} // namespace platform::swiftui
