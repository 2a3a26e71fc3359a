// The same corpus and lists through @ghostery/adblocker, measured the way
// bench_contentblocking measures ours; prints "<figure> <value> <unit>".
//
//   node --expose-gc run.mjs --corpus FILE [--list FILE]... [--decisions OUT]
//
// The corpus is one request a line (type<TAB>url<TAB>page url), gzip or not.

import { FiltersEngine, Request } from '@ghostery/adblocker';
import { readFileSync, writeFileSync } from 'node:fs';
import { gunzipSync } from 'node:zlib';

const args = { lists: [], corpus: null, decisions: null };
for (let i = 2; i < process.argv.length; ++i) {
  const arg = process.argv[i];
  const value = process.argv[++i];
  if (value === undefined) throw new Error(`${arg} needs a value`);
  if (arg === '--list') args.lists.push(value);
  else if (arg === '--corpus') args.corpus = value;
  else if (arg === '--decisions') args.decisions = value;
  else throw new Error(`unknown argument ${arg}`);
}
if (!args.corpus || args.lists.length === 0) throw new Error('a corpus and at least one list are needed');

// The engine's names for our request types.
const typeNames = {
  document: 'main_frame', subdocument: 'sub_frame', script: 'script', image: 'image',
  stylesheet: 'stylesheet', xmlhttprequest: 'xmlhttprequest', font: 'font', media: 'media',
  ping: 'ping', other: 'other',
};

function figure(name, value, unit) {
  console.log(`${name} ${value.toFixed(unit === 'us' ? 3 : 1)} ${unit}`);
}

function median(values) {
  const sorted = Float64Array.from(values).sort();
  const n = sorted.length;
  return n % 2 ? sorted[(n - 1) / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

function quantile(sorted, q) {
  return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
}

function msSince(start) {
  return Number(process.hrtime.bigint() - start) / 1e6;
}

// What the heap and buffers hold after a full collection (the resident set
// says little here: the collector returns pages as it likes).
function heldBytes() {
  globalThis.gc();
  globalThis.gc();
  const usage = process.memoryUsage();
  return usage.heapUsed + usage.external;
}

let raw = readFileSync(args.corpus);
if (raw[0] === 0x1f && raw[1] === 0x8b) raw = gunzipSync(raw);
const requests = [];
for (const line of raw.toString('utf8').split('\n')) {
  if (line === '' || line === '\r') continue;
  const [type, url = '', sourceUrl = ''] = line.replace(/\r$/, '').split('\t');
  requests.push({ type: typeNames[type] ?? 'other', url, sourceUrl });
}
raw = null;

let text = args.lists.map((path) => readFileSync(path, 'utf8')).join('\n');
const parseTimes = [];
let serialized;
for (let round = 0; round < 3; ++round) {
  const start = process.hrtime.bigint();
  const engine = FiltersEngine.parse(text);
  parseTimes.push(msSince(start));
  if (round === 0) {
    figure('rules', engine.getFilters().networkFilters.length + engine.getFilters().cosmeticFilters.length, 'rules');
    serialized = engine.serialize();
  }
}
text = null;
figure('parse', median(parseTimes), 'ms');
figure('serialized', serialized.length / 1048576, 'MB');

const loadTimes = [];
for (let round = 0; round < 10; ++round) {
  const start = process.hrtime.bigint();
  FiltersEngine.deserialize(serialized);
  loadTimes.push(msSince(start));
}
figure('load', median(loadTimes), 'ms');

const decisions = new Uint8Array(requests.length);
const times = new Float64Array(requests.length);
// The engine matched with is the one loaded from the cache, as in the
// browser; the bytes are read as from the cache file after the baseline
// (the engine keeps them).
const before = heldBytes();
const engine = FiltersEngine.deserialize(serialized.slice());
figure('memory_loaded', (heldBytes() - before) / 1048576, 'MB');

// One pass to warm up, one timed.
const decide = (r) => engine.match(Request.fromRawDetails(r)).match;
for (const r of requests) decide(r);
let blocked = 0;
for (let i = 0; i < requests.length; ++i) {
  const start = process.hrtime.bigint();
  const block = decide(requests[i]);
  times[i] = Number(process.hrtime.bigint() - start) / 1e3;
  decisions[i] = block ? 1 : 0;
  blocked += decisions[i];
}
figure('memory', (heldBytes() - before) / 1048576, 'MB');
times.sort();
figure('match_median', median(times), 'us');
figure('match_p99', quantile(times, 0.99), 'us');
figure('blocked', (100 * blocked) / requests.length, '%');
if (args.decisions) {
  const out = Buffer.alloc(decisions.length * 2);
  decisions.forEach((d, i) => { out[2 * i] = d ? 0x31 : 0x30; out[2 * i + 1] = 0x0a; });
  writeFileSync(args.decisions, out);
}
