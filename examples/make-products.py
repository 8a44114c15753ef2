#!/usr/bin/env python3
"""Writes the example product catalogue: products.csv and products.jsonl.

    python3 examples/make-products.py            # 300 records into examples/
    python3 examples/make-products.py -n 5000 -o /tmp/catalogue

The output depends only on the record count and the seed: the generator is a
small linear congruential generator of its own, so every Python 3 version
writes the same bytes. Columns:

    sku            text code: 007-A12 (digits, dash, letter and digits),
                   00421 (digits with leading zeros) or HW-1042 (prefix)
    name           product name; some contain commas, double quotes or
                   accented letters, so CSV quoting is exercised
    category       one of six categories
    unit_price     price with two decimals (12.50)
    quantity       units on hand, an integer (some 0)
    weight_kg      shipping weight; empty (CSV) or null (JSON) when unknown
    last_received  date of the last delivery, YYYY-MM-DD, meant as text

JSON Lines records carry the same members in the same order: sku, name,
category and last_received as strings, unit_price and weight_kg as numbers
(weight_kg null when unknown), quantity as an integer.
"""

import argparse
import csv
import json
import os
import sys


class Lcg:
    """64-bit linear congruential generator (Knuth's MMIX constants)."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF

    def next(self):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        return self.state >> 33  # the high 31 bits

    def below(self, n):
        return self.next() % n

    def between(self, lo, hi):
        return lo + self.below(hi - lo + 1)

    def pick(self, items):
        return items[self.below(len(items))]

    def skewed(self, lo, hi, power):
        """An integer in [lo, hi], most of them near lo (power > 1)."""
        u = self.below(1000000) / 1000000.0
        return lo + int((hi - lo) * u ** power)

    def chance(self, percent):
        return self.below(100) < percent


# category: (price range in cents, weight range in grams, nouns, sku prefix)
CATEGORIES = {
    "Hardware": ((150, 18900), (20, 9000), [
        "hammer", "screwdriver set", "pipe wrench", "hex key set", "tape measure",
        "utility knife", "chisel", "hand saw", "socket set", "clamp", "anchor bolts",
        "wood screws", "adjustable spanner", "spirit level"], "HW"),
    "Kitchenware": ((250, 24900), (100, 6000), [
        "mug", "chef's knife", "cutting board", "saucepan", "frying pan", "colander",
        "whisk", "baking tray", "espresso pot", "salad bowl", "teapot", "grater",
        "rolling pin", "apron"], "KW"),
    "Garden": ((199, 32900), (150, 25000), [
        "hose", "watering can", "pruning shears", "rake", "spade", "planter",
        "wheelbarrow", "seed tray", "garden gloves", "leaf blower", "sprinkler",
        "compost bin", "trowel", "bird feeder"], "GD"),
    "Office": ((99, 45900), (10, 15000), [
        "stapler", "desk lamp", "notebook", "ballpoint pens", "paper tray",
        "whiteboard", "label printer", "desk chair", "filing cabinet", "envelopes",
        "hole punch", "monitor stand", "sticky notes", "archive box"], "OF"),
    "Electrical": ((120, 27900), (15, 8000), [
        "extension lead", "LED bulb", "cable reel", "socket tester", "wire stripper",
        "junction box", "dimmer switch", "torch", "smoke alarm", "multimeter",
        "doorbell", "plug adapter", "cable ties", "fuse set"], "EL"),
    "Paint & Decor": ((180, 15900), (50, 12000), [
        "wall paint", "primer", "paint roller", "brush set", "masking tape",
        "drop cloth", "wood stain", "varnish", "wallpaper paste", "filler",
        "sandpaper", "paint tray", "picture hooks", "curtain rod"], "PD"),
}

ADJECTIVES = [
    "Acme", "Alpine", "Amber", "Atlas", "Basic", "Classic", "Compact", "Deluxe",
    "Everyday", "Heavy-duty", "Nordic", "Pro", "Studio", "Titan", "Urban", "Vintage",
    "ash", "arctic",
]

# Names with the characters CSV and JSON have to quote or escape, used now and then.
SPECIAL_NAMES = {
    "Hardware": ['Hammer, claw, 16 oz', 'Pipe wrench 14"', 'Screws, wood, 4 x 40 mm (box of 200)',
                 'The "Titan" pry bar'],
    "Kitchenware": ['Crème brûlée torch', 'Knife block, oak, 6 slots', 'The "Everyday" mug, 350 ml',
                    'Pan 28 cm, non-stick'],
    "Garden": ['Hose, 25 m, with reel', 'Planter 12" terracotta', 'Seeds: "Early" tomatoes',
               'Äpfel picker, telescopic'],
    "Office": ['Pens, blue, pack of 10', 'Binder 2" ring', 'Desk "Studio", 140 x 70 cm',
               'Papier, A4, 500 sheets'],
    "Electrical": ['LED bulb, E27, 9 W', 'Extension lead 3 m, 4 sockets', 'Cable "Flex", 10 m',
                   'Plug adapter, EU/UK'],
    "Paint & Decor": ['Paint, matt white, 5 l', 'Roller 9" with tray', 'Varnish "Satin", 750 ml',
                      'Brushes, synthetic, set of 3'],
}

COLUMNS = ["sku", "name", "category", "unit_price", "quantity", "weight_kg", "last_received"]


def make_sku(rng, prefix, used):
    while True:
        form = rng.below(3)
        if form == 0:
            sku = "%03d-%s%02d" % (rng.below(1000), rng.pick("ABCDEFGHJKLMNPRSTUVWXYZ"), rng.below(100))
        elif form == 1:
            sku = "%05d" % rng.below(10000)  # many start with 0 or 00
        else:
            sku = "%s-%04d" % (prefix, rng.between(1000, 9999))
        if sku not in used:
            used.add(sku)
            return sku


def make_name(rng, category, nouns):
    if rng.chance(12):
        return rng.pick(SPECIAL_NAMES[category])
    name = "%s %s" % (rng.pick(ADJECTIVES), rng.pick(nouns))
    return name[0].upper() + name[1:]


def make_date(rng):
    year = rng.pick([2023, 2024])
    month = rng.between(1, 12)
    days = [31, 29 if year % 4 == 0 else 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][month - 1]
    return "%04d-%02d-%02d" % (year, month, rng.between(1, days))


def make_records(count, seed):
    rng = Lcg(seed)
    used = set()
    names = list(CATEGORIES)
    records = []
    for _ in range(count):
        category = rng.pick(names)
        (cents_lo, cents_hi), (grams_lo, grams_hi), nouns, prefix = CATEGORIES[category]
        cents = rng.skewed(cents_lo, cents_hi, 3)
        if rng.chance(40):
            cents = cents - cents % 50  # many prices end in .00 or .50
        if rng.chance(8):
            quantity = 0
        elif rng.chance(15):
            quantity = rng.between(1, 9)
        else:
            quantity = rng.between(10, 400)
        if rng.chance(12):
            weight = None
        else:
            weight = rng.skewed(grams_lo, grams_hi, 2) / 1000.0
        records.append({
            "sku": make_sku(rng, prefix, used),
            "name": make_name(rng, category, nouns),
            "category": category,
            "unit_price": "%d.%02d" % (cents // 100, cents % 100),
            "quantity": quantity,
            "weight_kg": weight,
            "last_received": make_date(rng),
        })
    return records


def weight_text(weight):
    return "" if weight is None else ("%.3f" % weight).rstrip("0").rstrip(".")


def write_csv(path, records):
    with open(path, "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f, lineterminator="\n", quoting=csv.QUOTE_MINIMAL)
        writer.writerow(COLUMNS)
        for r in records:
            writer.writerow([r["sku"], r["name"], r["category"], r["unit_price"], r["quantity"],
                             weight_text(r["weight_kg"]), r["last_received"]])


def write_jsonl(path, records):
    with open(path, "w", encoding="utf-8") as f:
        for r in records:
            weight = None if r["weight_kg"] is None else float(weight_text(r["weight_kg"]))
            obj = {
                "sku": r["sku"],
                "name": r["name"],
                "category": r["category"],
                "unit_price": float(r["unit_price"]),
                "quantity": r["quantity"],
                "weight_kg": weight,
                "last_received": r["last_received"],
            }
            f.write(json.dumps(obj, ensure_ascii=False, separators=(",", ":")) + "\n")


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Write the example product catalogue.")
    parser.add_argument("-n", "--count", type=int, default=300, help="number of records (300)")
    parser.add_argument("-s", "--seed", type=int, default=20240315, help="generator seed")
    parser.add_argument("-o", "--out-dir", default=here, help="output folder (this folder)")
    args = parser.parse_args(argv)
    if args.count < 0 or args.count > 10000:
        parser.error("--count must be between 0 and 10000 (the sku space is limited)")
    records = make_records(args.count, args.seed)
    os.makedirs(args.out_dir, exist_ok=True)
    write_csv(os.path.join(args.out_dir, "products.csv"), records)
    write_jsonl(os.path.join(args.out_dir, "products.jsonl"), records)
    print("wrote %d records to %s/products.csv and products.jsonl" % (len(records), args.out_dir))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
