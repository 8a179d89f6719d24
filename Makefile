# Entry points: `make demo` runs the library's main job, `make test` runs every test.
# Both install what the machine lacks first (scripts/bootstrap.sh).
SHELL := /bin/bash
JOBS ?= $(shell nproc)

.PHONY: all bootstrap native win32 win64 wintest test demo dist package bench fuzz clean

all: test

bootstrap:
	@scripts/bootstrap.sh

native: bootstrap
	@scripts/build.sh native

win32: bootstrap
	@scripts/build.sh win32

win64: bootstrap
	@scripts/build.sh win64

# The Windows tree whose programs run here under Wine (win32, or win64 on machines
# that cannot run 32-bit code).
wintest: bootstrap
	@scripts/build.sh win32
	@if [ "$$(scripts/wine-arch.sh)" = x86_64 ]; then scripts/build.sh win64; fi

# Both Windows trees for the test: the i686 and x86_64 builds' template strings are
# compared. Where the i686 tree is the one under test, the x86_64 tree needs only the
# programs that comparison runs.
test: native wintest
	@if [ "$$(scripts/wine-arch.sh)" = i686 ]; then \
	  scripts/build.sh win64 mivex-host Mivex Vandrel Ostrela mivex_ding_wav; fi
	@scripts/run-tests.sh

demo: wintest
	@scripts/demo.sh

dist: win32
	@scripts/dist.sh

# dist/Mivex-<version>-win32.zip with SHA-256 sums.
package: dist
	@scripts/package.sh

bench: bootstrap
	@scripts/build.sh bench
	@scripts/run-bench.sh

fuzz: bootstrap
	@scripts/build.sh fuzz
	@scripts/run-fuzz.sh

clean:
	rm -rf build dist
