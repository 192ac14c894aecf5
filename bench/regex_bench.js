// The same work as regex_bench.cpp in JavaScript: decode the GBK list page, then walk every match
// of the link pattern reading both groups. Usage: node bench/regex_bench.js PAGE [SECONDS]
'use strict';
const fs = require('fs');

const path = process.argv[2];
if (!path) {
    console.error('usage: node regex_bench.js PAGE [SECONDS]');
    process.exit(2);
}
const minSeconds = Number(process.argv[3] || 1);
const bytes = fs.readFileSync(path);
const mib = bytes.length / (1024 * 1024);
const pattern = '<a href="([^"]+)"[^>]*>(.*?)</a>';

function walk(text) {
    // A fresh RegExp per page, as the C++ side compiles a fresh engine per FindAll.
    const re = new RegExp(pattern, 'gim');
    let count = 0, groupChars = 0;
    for (const m of text.matchAll(re)) {
        groupChars += m[1].length + m[2].length;
        ++count;
    }
    return [count, groupChars];
}

function time(label, body) {
    for (let i = 0; i < 3; ++i) body(); // warm-up: let the engine tier up
    let runs = 0;
    const start = process.hrtime.bigint();
    let elapsed = 0;
    do {
        body();
        ++runs;
        elapsed = Number(process.hrtime.bigint() - start) / 1e9;
    } while (elapsed < minSeconds);
    const perRun = elapsed / runs;
    console.log(`node ${label}: ${(perRun * 1000).toFixed(2)} ms per page, ${(mib / perRun).toFixed(1)} MiB/s ` +
                `(${runs} runs)`);
}

const decoder = new TextDecoder('gbk');
const text = decoder.decode(bytes);
const [count] = walk(text);
console.log(`node ${process.version}: ${bytes.length} bytes (${mib.toFixed(2)} MiB), ${count} matches`);
// Decoding belongs to the work: FindAll converts the page for its engine too.
time('decode + matchAll', () => walk(decoder.decode(bytes)));
time('matchAll only', () => walk(text));
