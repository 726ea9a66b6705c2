#pragma once
// State, bindings and observable objects.
//
// A State<T> is a handle on shared storage: copies share it, so an action that captured a copy of
// the view still writes the storage the host rebuilds from. The root view's states live as long as
// its host holds the view. A composite view built inside another's body is made anew on every
// rebuild; to keep its states it lists them in `auto states() { return std::tie(a, b); }` and the
// host hands each rebuilt instance the storage of the instance at the same place in the tree.
//
// Writing a state (or publishing a change of an observed object) tells the hosts that read it
// during their last build to rebuild on the next run-loop turn.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace platform::swiftui {

class ViewHost;

namespace detail {
struct StateBoxBase {
    virtual ~StateBoxBase() = default;
    // The hosts whose last build read this storage (a binding handed to a sheet is read by two).
    std::vector<std::weak_ptr<ViewHost>> hosts;
    void track();
    void changed();
};

template <class T> struct StateBox : StateBoxBase {
    explicit StateBox(T v) : value(std::move(v)) {}
    T value;
};
} // namespace detail

template <class T> class Binding {
public:
    Binding(std::function<T()> get, std::function<void(T)> set)
        : get_(std::move(get)), set_(std::move(set)) {}
    static Binding constant(T value) {
        return Binding([value] { return value; }, [](T) {});
    }
    T get() const { return get_(); }
    void set(T value) const { set_(std::move(value)); }

private:
    std::function<T()> get_;
    std::function<void(T)> set_;
};

template <class T> class State {
public:
    State() : State(T{}) {}
    State(T initial) : box_(std::make_shared<detail::StateBox<T>>(std::move(initial))) {}

    const T& get() const {
        box_->track();
        return box_->value;
    }
    const T& operator*() const { return get(); }
    const T* operator->() const { return &get(); }
    // Const so that actions holding a copy of their view can write through it.
    void set(T value) const {
        box_->value = std::move(value);
        box_->changed();
    }
    Binding<T> binding() const {
        auto box = box_;
        return Binding<T>(
            [box] {
                box->track();
                return box->value;
            },
            [box](T v) {
                box->value = std::move(v);
                box->changed();
            });
    }

    std::shared_ptr<detail::StateBoxBase> storage() const { return box_; }
    // Takes over storage kept for this place in the tree (ignored when its type differs).
    void adopt(const std::shared_ptr<detail::StateBoxBase>& kept) {
        if (auto typed = std::dynamic_pointer_cast<detail::StateBox<T>>(kept)) box_ = typed;
    }

private:
    std::shared_ptr<detail::StateBox<T>> box_;
};

// A reference-type model that tells the views observing it when it is about to change.
class ObservableObject {
public:
    ObservableObject() = default;
    ObservableObject(const ObservableObject&) = delete;
    ObservableObject& operator=(const ObservableObject&) = delete;
    virtual ~ObservableObject() = default;

    // Asks every host that read this object in its last build to rebuild.
    void objectWillChange() const;
    // Called while a view reads the object during a build.
    void track() const;

private:
    mutable std::vector<std::weak_ptr<ViewHost>> hosts_;
};

// A property of an observable object whose writes announce the change.
template <class T> class Published {
public:
    Published(const ObservableObject* owner, T initial) : owner_(owner), value_(std::move(initial)) {}
    const T& get() const { return value_; }
    void set(T v) {
        owner_->objectWillChange();
        value_ = std::move(v);
    }

private:
    const ObservableObject* owner_;
    T value_;
};

// A view's reference to an observable object: reading it during a build subscribes the host.
template <class T> class ObservedObject {
public:
    ObservedObject() = default;
    ObservedObject(std::shared_ptr<T> object) : object_(std::move(object)) {}
    T& operator*() const {
        object_->track();
        return *object_;
    }
    T* operator->() const {
        object_->track();
        return object_.get();
    }
    const std::shared_ptr<T>& shared() const { return object_; }

private:
    std::shared_ptr<T> object_;
};

} // namespace platform::swiftui
