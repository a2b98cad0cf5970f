# The two commands of the README: `make demo` and `make test`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory

PREFIX ?= /usr/local

.PHONY: all deps deps-build build programs build-sanitize build-fuzz test test-release test-sanitize test-fuzz fuzz demo bench install package clean

all: build

# What the tests need (and the programs); deps-build: what the programs alone need.
deps:
	@bash .ci/deps.sh test

deps-build:
	@bash .ci/deps.sh build

# The programs, their manual pages and every test.
build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

# The programs alone, in the same build tree, without the tests (nor what they need).
programs: deps-build
	@cmake --preset release -DWES_BUILD_TESTS=OFF >/dev/null
	@cmake --build --preset release -j $(JOBS) --target programs

build-sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize -j $(JOBS)

build-fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

test-release: build
	ctest --preset release -j $(JOBS)

test-sanitize: build-sanitize
	ctest --preset sanitize -j $(JOBS)

# A short smoke run of each libFuzzer target over its seed corpus.
test-fuzz: build-fuzz
	ctest --preset fuzz -j $(JOBS)

# Every test, in the optimised build and under AddressSanitizer + UBSan, then the fuzz
# targets' smoke run.
test: test-release test-sanitize test-fuzz

# Each fuzz target for FUZZ_TIME seconds (FUZZ_ARGS adds libFuzzer options); what it
# finds stays in build-fuzz/fuzz/long/.
FUZZ_TIME ?= 60
fuzz: build-fuzz
	@mkdir -p build-fuzz/fuzz/long
	@for bin in build-fuzz/fuzz/bin/fuzz_*; do \
	  name=$${bin##*/fuzz_}; log=build-fuzz/fuzz/long/$$name.log; \
	  echo "== $$name: $(FUZZ_TIME) s, log in $$log"; \
	  if bash tests/fuzz/run.sh $$bin tests/fuzz/corpus/$$name build-fuzz/fuzz/long/$$name \
	       -max_total_time=$(FUZZ_TIME) $(FUZZ_ARGS) >$$log 2>&1; then \
	    grep -E '^(Done|stat::peak_rss_mb)' $$log; \
	  else tail -n 40 $$log; exit 1; fi; \
	done

demo: programs
	@bash demo/run

# The programs, their manual pages, the README and the demo under PREFIX.
install: build
	@cmake --install build --prefix "$(PREFIX)"

# wes-suite_<version>_<arch>.deb in build/, installing under /usr.
package: build
	@cpack --preset release

bench: build
	@bash bench/run.sh

clean:
	rm -rf build build-sanitize build-fuzz demo/out
