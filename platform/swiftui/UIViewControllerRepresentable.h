#pragma once
// A declarative view that stands for a UIKit view controller. A representable derives from
// UIViewControllerRepresentable<Self> and provides
//
//     std::shared_ptr<SomeController> makeUIViewController(RepresentableContext& context) const;
//     void updateUIViewController(SomeController& controller, RepresentableContext& context) const;
//     std::shared_ptr<SomeCoordinator> makeCoordinator() const;   // optional; or given the
//                                                                 // environment it is shown in
//
// Shown as a sheet's content, it is asked for a new controller (and a new coordinator) each time
// the sheet is presented; the controller itself is what the hosting controller presents.

#include <any>
#include <memory>
#include <type_traits>

#include "platform/swiftui/View.h"
#include "platform/uikit/UIViewController.h"

namespace platform::swiftui {

struct RepresentableContext {
    std::any coordinator; // holds std::shared_ptr<Coordinator> when the view makes one
    EnvironmentValues environment;

    template <class C> std::shared_ptr<C> coordinatorAs() const {
        return std::any_cast<std::shared_ptr<C>>(coordinator);
    }
};

template <class Self> struct UIViewControllerRepresentable {
    AnyView body() const { return AnyView(std::make_shared<Maker>(static_cast<const Self&>(*this))); }

private:
    class Maker : public AnyView::Impl {
    public:
        explicit Maker(Self self) : self_(std::move(self)) {}
        NodePtr build(const BuildContext& ctx) const override {
            NodePtr node = detail::makeNode("Representable", ctx);
            Self self = self_;
            EnvironmentValues env = ctx.env;
            node->makeController = [self, env]() -> RepresentedController {
                RepresentableContext context;
                context.environment = env;
                if constexpr (requires { self.makeCoordinator(env); })
                    context.coordinator = self.makeCoordinator(env);
                else if constexpr (requires { self.makeCoordinator(); })
                    context.coordinator = self.makeCoordinator();
                auto controller = self.makeUIViewController(context);
                self.updateUIViewController(*controller, context);
                return {std::static_pointer_cast<UIViewController>(controller), context.coordinator};
            };
            return node;
        }

    private:
        Self self_;
    };
};

} // namespace platform::swiftui
