// The hash-table built-ins. Tables live in one process-wide store, outside any record or evaluation: a
// table filled while one record is processed is there for the next, until hashdestroy. A table's
// identifier is its slot in the store; a destroyed table's slot goes to the next table created.
//
// Scripts on several threads may share tables: every operation on the store and its tables runs under
// one lock. A node evaluates all its arguments before it takes the lock and looks the table up, so
// that an argument that destroys or changes the table (through eval) cannot pull it away mid-way; and
// the values it hands out are its own copies, never the table's storage.
//
// Failures carry no line number: "Illegal hash table identifier", "Hash table already deleted" and the
// position texts.

#include "functions/HashTableFunctions.h"

#include <memory>
#include <mutex>
#include <typeinfo>
#include <unordered_map>
#include <vector>

#include "functions/FunctionNode.h"

using strand::ExpressionContext;
using strand::Ptr;
using strand::String;
using strand::Value;

namespace {

// Keys of a case-sensitive table hash the low 8 bits of each code unit and compare exactly; those of a
// case-insensitive one fold A to Z in both.
struct xrKeyHash {
    bool caseSensitive;
    size_t operator()(const String& key) const noexcept {
        if (!caseSensitive)
            return String::hashFolded(key.view());
        uint32_t h = 0;
        for (char16_t c : key)
            h = h * 31u + (c & 0xFFu);
        return h;
    }
};
struct xrKeyEqual {
    bool caseSensitive;
    bool operator()(const String& a, const String& b) const noexcept {
        return caseSensitive ? a == b : a.equalsIgnoreCase(b);
    }
};

// One table: keys in insertion order, their values beside them, and the map from key to its place in
// the lists. Positions seen by scripts run from 1 to the number of entries: removing a key moves the
// later ones down. A removal only marks its place; the lists are closed up when a position is next
// asked for, or when half of them are gaps, so that a table emptied key by key costs linear time.
class xrScriptHashTable {
  public:
    explicit xrScriptHashTable(bool caseSensitive)
        : m_positions(31, xrKeyHash{caseSensitive}, xrKeyEqual{caseSensitive}) {}

    int32_t size() const noexcept { return int32_t(m_positions.size()); }
    bool contains(const String& key) const { return m_positions.find(key) != m_positions.end(); }
    // The stored value of a key, or null.
    const Value* find(const String& key) const {
        auto it = m_positions.find(key);
        return it == m_positions.end() ? nullptr : m_values[size_t(it->second)].get();
    }
    // The 0-based position of a key, or -1.
    int32_t position(const String& key) {
        closeGaps();
        auto it = m_positions.find(key);
        return it == m_positions.end() ? -1 : it->second;
    }
    const String& keyAt(int32_t i) {
        closeGaps();
        return m_keys[size_t(i)];
    }
    const Value& valueAt(int32_t i) {
        closeGaps();
        return *m_values[size_t(i)];
    }

    // A new key is appended with a copy of the value. A known key keeps its position: a value of the
    // same class is assigned into the stored one, any other replaces it (the copy is made first, so a
    // failed copy leaves the entry as it was).
    void add(const String& key, const Value& value) {
        auto it = m_positions.find(key);
        if (it == m_positions.end()) {
            Ptr<Value> copy = value.cloneValue();
            m_keys.push_back(key);
            m_values.push_back(std::move(copy));
            m_positions.emplace(key, int32_t(m_keys.size() - 1));
            return;
        }
        Ptr<Value>& stored = m_values[size_t(it->second)];
        if (stored.get() == &value)
            return;
        if (typeid(*stored) == typeid(value)) {
            value.assignTo(*stored);
            return;
        }
        stored = value.cloneValue();
    }
    void remove(const String& key) {
        auto it = m_positions.find(key);
        if (it == m_positions.end())
            return;
        const size_t i = size_t(it->second);
        m_positions.erase(it);
        m_keys[i] = String();
        m_values[i] = nullptr;
        ++m_gaps;
        if (m_gaps > 16 && m_gaps * 2 > m_keys.size())
            closeGaps();
    }
    void clear() {
        m_positions.clear();
        m_keys.clear();
        m_values.clear();
        m_gaps = 0;
    }

  private:
    void closeGaps() {
        if (m_gaps == 0)
            return;
        size_t next = 0;
        for (size_t i = 0; i < m_keys.size(); ++i) {
            if (!m_values[i])
                continue;
            if (i != next) {
                m_keys[next] = std::move(m_keys[i]);
                m_values[next] = std::move(m_values[i]);
                m_positions.find(m_keys[next])->second = int32_t(next);
            }
            ++next;
        }
        m_keys.resize(next);
        m_values.resize(next);
        m_gaps = 0;
    }

    std::unordered_map<String, int32_t, xrKeyHash, xrKeyEqual> m_positions;
    std::vector<String> m_keys;
    std::vector<Ptr<Value>> m_values;  // null at the place of a removed key
    size_t m_gaps = 0;
};

// The process-wide store: slots from 0, an empty slot for a destroyed table.
class xrScriptHashStore {
  public:
    static xrScriptHashStore& instance() {
        static xrScriptHashStore store;
        return store;
    }

    // The new table goes into the first empty slot, else into a new one.
    int32_t create(bool caseSensitive) {
        auto table = std::make_unique<xrScriptHashTable>(caseSensitive);
        std::lock_guard<std::mutex> lock(m_mutex);
        for (size_t i = 0; i < m_slots.size(); ++i) {
            if (!m_slots[i]) {
                m_slots[i] = std::move(table);
                return int32_t(i);
            }
        }
        if (m_slots.size() >= size_t(INT32_MAX))
            throw strand::Exception(u"Too many hash tables");
        m_slots.push_back(std::move(table));
        return int32_t(m_slots.size() - 1);
    }
    void destroy(int32_t id) {
        std::unique_ptr<xrScriptHashTable> table;
        std::lock_guard<std::mutex> lock(m_mutex);
        table = std::move(slot(id));
    }
    // Runs `operation` on the table of `id` under the store's lock.
    template <typename F>
    decltype(auto) with(int32_t id, F&& operation) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return operation(*slot(id));
    }

  private:
    std::unique_ptr<xrScriptHashTable>& slot(int32_t id) {
        if (id < 0 || size_t(id) >= m_slots.size())
            throw strand::Exception(u"Illegal hash table identifier");
        std::unique_ptr<xrScriptHashTable>& table = m_slots[size_t(id)];
        if (!table)
            throw strand::Exception(u"Hash table already deleted");
        return table;
    }

    std::mutex m_mutex;
    std::vector<std::unique_ptr<xrScriptHashTable>> m_slots;
};

xrScriptHashStore& store() {
    return xrScriptHashStore::instance();
}

// The shared readings of the hash built-ins: the identifier (the first argument truncated to 32 bits)
// and a key copied into the node, which later arguments cannot change.
template <typename Base>
class xrHashExprBase : public xrFunctionExprImp<Base> {
  public:
    using xrFunctionExprImp<Base>::xrFunctionExprImp;

  protected:
    int32_t idArg(ExpressionContext& ctx) const { return this->intArg(ctx, 0); }
    const String& keyArg(ExpressionContext& ctx, size_t i) {
        m_key = this->textArg(ctx, i);
        return m_key;
    }
    // A position (1-based) checked against the table, as a 0-based index.
    static int32_t checkedPosition(const xrScriptHashTable& table, int32_t k) {
        const int32_t n = table.size();
        if (n == 0)
            throw strand::Exception(u"Illegal index into hash table: %d (hash table is empty)", k);
        if (k < 1 || k > n)
            throw strand::Exception(u"Illegal index into hash table: %d (legal indices are [1..%d])", k, n);
        return k - 1;
    }
    // Copies a stored value into the node's result, reusing the result when the classes match.
    const Value& copyOut(const Value& stored) {
        if (m_result && typeid(*m_result) == typeid(stored))
            m_result->assignFrom(stored);
        else
            m_result = stored.cloneValue();
        return *m_result;
    }

    String m_key;
    Ptr<Value> m_result;
};

// Used alone as a statement, a lookup passes the statement check.
template <typename Base>
class xrHashLookupExprImp : public xrHashExprBase<Base> {
  public:
    using xrHashExprBase<Base>::xrHashExprBase;
    void DoesSomethingCheck() const override {}
};

// hashcreate([caseSensitive]): case-insensitive (A to Z) unless the argument is true.
class xrHashCreateExprImp final : public xrHashExprBase<xrNumericExprImp> {
  public:
    using xrHashExprBase::xrHashExprBase;
    double AsDouble(ExpressionContext& ctx) override { return store().create(boolArgOr(ctx, 0, false)); }
};

// hashdestroy(id)
class xrHashDestroyExprImp final : public xrHashExprBase<xrVoidExprImp> {
  public:
    using xrHashExprBase::xrHashExprBase;
    void Evaluate(ExpressionContext& ctx) override { store().destroy(idArg(ctx)); }
};

// hashclear(id): no entries; the table and its case mode stay.
class xrHashClearExprImp final : public xrHashExprBase<xrVoidExprImp> {
  public:
    using xrHashExprBase::xrHashExprBase;
    void Evaluate(ExpressionContext& ctx) override {
        store().with(idArg(ctx), [](xrScriptHashTable& table) { table.clear(); });
    }
};

// hashadd(id, key, value)
class xrHashAddExprImp final : public xrHashExprBase<xrVoidExprImp> {
  public:
    using xrHashExprBase::xrHashExprBase;
    void Evaluate(ExpressionContext& ctx) override {
        const int32_t id = idArg(ctx);
        const String& key = keyArg(ctx, 1);
        const Value& value = valueArg(ctx, 2);
        store().with(id, [&](xrScriptHashTable& table) { table.add(key, value); });
    }
};

// hashremove(id, key)
class xrHashRemoveExprImp final : public xrHashExprBase<xrVoidExprImp> {
  public:
    using xrHashExprBase::xrHashExprBase;
    void Evaluate(ExpressionContext& ctx) override {
        const int32_t id = idArg(ctx);
        const String& key = keyArg(ctx, 1);
        store().with(id, [&](xrScriptHashTable& table) { table.remove(key); });
    }
};

// hashfind(id, key): the stored value, or a null value.
class xrHashFindExprImp final : public xrHashLookupExprImp<xrValueResultExprImp> {
  public:
    using xrHashLookupExprImp::xrHashLookupExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const int32_t id = idArg(ctx);
        const String& key = keyArg(ctx, 1);
        return store().with(id, [&](xrScriptHashTable& table) -> const Value& {
            const Value* stored = table.find(key);
            if (!stored)
                return strand::NullValue::instance();
            return copyOut(*stored);
        });
    }
};

// hashcontains(id, key)
class xrHashContainsExprImp final : public xrHashLookupExprImp<xrBooleanExprImp> {
  public:
    using xrHashLookupExprImp::xrHashLookupExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        const int32_t id = idArg(ctx);
        const String& key = keyArg(ctx, 1);
        return store().with(id, [&](xrScriptHashTable& table) { return table.contains(key); });
    }
};

// hashfindindex(id, key): the key's 1-based position, 0 when absent.
class xrHashFindIndexExprImp final : public xrHashLookupExprImp<xrNumericExprImp> {
  public:
    using xrHashLookupExprImp::xrHashLookupExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        const int32_t id = idArg(ctx);
        const String& key = keyArg(ctx, 1);
        return store().with(id, [&](xrScriptHashTable& table) { return table.position(key) + 1; });
    }
};

// hashnumvalues(id)
class xrHashNumValuesExprImp final : public xrHashExprBase<xrNumericExprImp> {
  public:
    using xrHashExprBase::xrHashExprBase;
    double AsDouble(ExpressionContext& ctx) override {
        return store().with(idArg(ctx), [](xrScriptHashTable& table) { return table.size(); });
    }
};

// hashithkey(id, k)
class xrHashIthKeyExprImp final : public xrHashExprBase<xrStringExprImp> {
  public:
    using xrHashExprBase::xrHashExprBase;
    const String& AsString(ExpressionContext& ctx) override {
        const int32_t id = idArg(ctx);
        const int32_t k = intArg(ctx, 1);
        store().with(id,
                     [&](xrScriptHashTable& table) { GetString() = table.keyAt(checkedPosition(table, k)); });
        return GetString();
    }
};

// hashithvalue(id, k): passes the statement check, but its value must be used.
class xrHashIthValueExprImp final : public xrHashLookupExprImp<xrValueResultExprImp> {
  public:
    using xrHashLookupExprImp::xrHashLookupExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const int32_t id = idArg(ctx);
        const int32_t k = intArg(ctx, 1);
        return store().with(id, [&](xrScriptHashTable& table) -> const Value& {
            return copyOut(table.valueAt(checkedPosition(table, k)));
        });
    }
    void Evaluate(ExpressionContext&) override {
        throw strand::Exception(u"You must assign the result of the 'hashithvalue' function.");
    }
};

}  // namespace

namespace strand::hashes {

STRAND_BUILTIN_FACTORY(makeHashCreate, xrHashCreateExprImp)
STRAND_BUILTIN_FACTORY(makeHashDestroy, xrHashDestroyExprImp)
STRAND_BUILTIN_FACTORY(makeHashClear, xrHashClearExprImp)
STRAND_BUILTIN_FACTORY(makeHashAdd, xrHashAddExprImp)
STRAND_BUILTIN_FACTORY(makeHashFind, xrHashFindExprImp)
STRAND_BUILTIN_FACTORY(makeHashContains, xrHashContainsExprImp)
STRAND_BUILTIN_FACTORY(makeHashRemove, xrHashRemoveExprImp)
STRAND_BUILTIN_FACTORY(makeHashFindIndex, xrHashFindIndexExprImp)
STRAND_BUILTIN_FACTORY(makeHashNumValues, xrHashNumValuesExprImp)
STRAND_BUILTIN_FACTORY(makeHashIthKey, xrHashIthKeyExprImp)
STRAND_BUILTIN_FACTORY(makeHashIthValue, xrHashIthValueExprImp)

}  // namespace strand::hashes
