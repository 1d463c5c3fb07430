#pragma once
// A singly linked list to which values are only added at the head; the
// observer store of a CancellationTokenSource.
//
// Thread: none of its own; the owner guards it. Destroying a bag (or a node)
// frees the rest of its list in a loop, so a list of any length is freed
// without recursion.
#include <memory>
#include <utility>

namespace hexora {

template <class T>
class Bag {
public:
    struct Node {
        explicit Node(T nodeValue) : value(std::move(nodeValue)) {}
        Node(const Node&) = delete;
        Node& operator=(const Node&) = delete;
        ~Node() {
            // Detach the successor and keep detaching: every node dies with a
            // null `next`, so no destructor calls another one.
            auto rest = std::move(next);
            while (rest) rest = std::move(rest->next);
        }
        T value;
        std::unique_ptr<Node> next;
    };

    Bag() = default;
    Bag(Bag&&) noexcept = default;
    Bag& operator=(Bag&&) noexcept = default;

    /// Puts `value` in a new node at the head.
    void insert(T value) {
        auto node = std::make_unique<Node>(std::move(value));
        node->next = std::move(head_);
        head_ = std::move(node);
    }

    bool empty() const { return head_ == nullptr; }

    /// Calls `visit` on every value, from the head (the last inserted) to the end.
    template <class Visit>
    void forEach(Visit&& visit) {
        for (Node* node = head_.get(); node != nullptr; node = node->next.get()) visit(node->value);
    }

private:
    std::unique_ptr<Node> head_;
};

}  // namespace hexora
