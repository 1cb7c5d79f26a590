# Entry points. `make demo` runs the main job, `make test` builds and runs
# every test. Both install what they need first (scripts/deps.sh).
# `make release` is the Release build with its tests (not in CI; see
# docs/DESIGN.md).

BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
TSAN_DIR     ?= build-tsan
BENCH_DIR    ?= build-bench
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=

RELEASE_DIR  ?= build-release

.PHONY: all deps configure build test demo bench sanitize tsan release fuzz format tidy clean

all: build

deps:
	@bash scripts/deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRIX_WERROR=ON $(CMAKE_FLAGS)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest -j $(JOBS) --output-on-failure --timeout 300

demo: build
	@bash scripts/demo.sh $(BUILD_DIR)

sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRIX_SANITIZE=ON -DVELTRIX_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest -j $(JOBS) --output-on-failure --timeout 600

release: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRIX_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	cd $(RELEASE_DIR) && ctest -j $(JOBS) --output-on-failure --timeout 300

# The suite under ThreadSanitizer. Reports in third-party code only are
# suppressed, each with its reason, in scripts/tsan.supp.
tsan: deps
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRIX_TSAN=ON -DVELTRIX_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/scripts/tsan.supp" \
	  ctest -j $(JOBS) --output-on-failure --timeout 900

bench: deps
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRIX_BUILD_TESTS=OFF -DVELTRIX_BUILD_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@for b in $(BENCH_DIR)/bench/*_bench; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

fuzz:
	@bash scripts/deps.sh fuzz
	@bash fuzz/run.sh

format:
	@git ls-files -co --exclude-standard '*.h' '*.cpp' | xargs -r clang-format -i

tidy: deps
	cmake -S . -B build-tidy -G Ninja -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON -DCMAKE_UNITY_BUILD=OFF >/dev/null
	@git ls-files -co --exclude-standard 'src/*.cpp' | xargs -r clang-tidy -p build-tidy --quiet

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(RELEASE_DIR) $(BENCH_DIR) build-tidy
