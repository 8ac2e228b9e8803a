// Hostile variants of configuration documents: damaged bytes, broken and
// strange structure, wrong encodings, stray nodes among the tasks, and the
// scrambled form. Deterministic for a given random engine state.
#pragma once

#include <cstddef>
#include <random>
#include <string>

enum class Mutation
{
    Truncate,
    RandomBytes,
    InsertBytes,
    DeleteRange,
    DuplicateRange,
    Token,
    DeepNesting,
    HugeAttribute,
    WrongEncoding,
    StrayNodeInRun,
    EntityExpansion,
    Count
};

const char* MutationName(Mutation eMutation);

class CConfigMutator
{
public:
    explicit CConfigMutator(std::mt19937& rng) : m_rng(rng) {}

    // None to four mutations of doc; counts[] is increased for each one applied.
    std::string Mutate(std::string doc, unsigned long counts[]);

    // The scrambled form for a file named pszName; sometimes under a wrong
    // name, so that the marker does not match and the bytes read as plain.
    std::string Scramble(const std::string& doc, const char* pszName);

private:
    size_t Below(size_t n); // 0 .. n-1; 0 for n == 0
    size_t TagBoundary(const std::string& doc);
    size_t InsertionPoint(const std::string& doc); // random, or at a tag boundary
    std::string RandomBytes(size_t cb);
    void Apply(Mutation eMutation, std::string& doc);
    void ChangeEncoding(std::string& doc);
    void InsertStrayNode(std::string& doc);

    std::mt19937& m_rng;
};
