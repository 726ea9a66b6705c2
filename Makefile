# The two set-up commands of the README. Both install what is missing first.
MAKEFLAGS += --no-print-directory
BUILD      ?= build
TESTBUILD  ?= build-test
TSANBUILD  ?= build-tsan
BENCHBUILD ?= build-bench
# The programs whose tests drive the audio thread, and printing on a worker, also run under
# ThreadSanitizer. The randomised engine runs test the loop's logic on the virtual clock, and run
# only in the other build: under ThreadSanitizer they would take minutes and add no thread; so
# would the long runs with real recognition.
TSAN_TESTS := avfaudio_tests speech_tests dictation_tests print_thread_tests
# Each case is a test of its own, PROGRAM.Suite.Case: the randomised suites and the long runs by
# their names.
TSAN_SKIPPED := RandomTest\.|\.LongRun
JOBS       ?= $(shell nproc)
ARGS       ?=

.PHONY: run test build bootstrap bench fuzz format clean

bootstrap:
	@scripts/bootstrap

build: bootstrap
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target quillora

run: build
	@$(BUILD)/cli/quillora $(ARGS)

test: bootstrap
	@cmake -S . -B $(TESTBUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLORA_SANITIZE=ON >/dev/null
	@cmake --build $(TESTBUILD) -j $(JOBS)
	@cmake -S . -B $(TSANBUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLORA_TSAN=ON >/dev/null
	@cmake --build $(TSANBUILD) -j $(JOBS) --target $(TSAN_TESTS)
	@cd $(TSANBUILD) && ctest --output-on-failure -j $(JOBS) -R '^($(subst $() ,|,$(TSAN_TESTS)))\.' -E '$(TSAN_SKIPPED)'
	@cd $(TESTBUILD) && ctest --output-on-failure -j $(JOBS)

# The readers' fuzzer for longer than `make test` runs it: FUZZ_RUNS inputs per reader, a new seed
# each time unless FUZZ_SEED is given (a failing input is kept in the test's temporary folder).
FUZZ_RUNS ?= 100000
FUZZ_SEED ?= $(shell date +%s)
fuzz: bootstrap
	@cmake -S . -B $(TESTBUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLORA_SANITIZE=ON >/dev/null
	@cmake --build $(TESTBUILD) -j $(JOBS) --target fuzz_tests
	@echo "fuzz seed $(FUZZ_SEED), $(FUZZ_RUNS) inputs per reader"
	@cd $(TESTBUILD) && QUILLORA_FUZZ_RUNS=$(FUZZ_RUNS) QUILLORA_FUZZ_SEED=$(FUZZ_SEED) \
		QUILLORA_TEST_TIMEOUT=86400 ctest --output-on-failure -R '^fuzz_tests\.'

bench: bootstrap
	@cmake -S . -B $(BENCHBUILD) -DCMAKE_BUILD_TYPE=Release -DQUILLORA_BENCH=ON >/dev/null
	@cmake --build $(BENCHBUILD) -j $(JOBS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(TESTBUILD) $(TSANBUILD) $(BENCHBUILD)
